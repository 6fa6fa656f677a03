// The control pane: the command buttons, the device selector, the scan's
// status texts and progress bar, the preview box with its switch, and the
// "Show thumbnails" switch, light on a dark gradient.
#pragma once

#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QProgressBar;

namespace lumicarve {

class CImagePreviewStatic;
class CTransparentStatic;
class CommandButtonStrip;
struct ProgressTexts;
struct AppContext;

class ControlPane : public QWidget {
  Q_OBJECT

 public:
  ControlPane(AppContext* context, QWidget* parent = nullptr);

  // Lists the devices of the table (the disks come as they are described).
  void initialise();
  void AddDeviceItem(const QString& label);
  // A device put into the table at `index`: the list shows it there and
  // keeps showing the selected device.
  void insertDeviceItem(int index, const QString& label);
  void selectDevice(int index);
  // Lists the device table again, keeping the selected device.
  void reloadDevices();
  // Asked before a device chosen in the list becomes the selected one;
  // false puts the previous choice back.
  void setDeviceChangeGuard(std::function<bool(int)> guard) { deviceGuard_ = std::move(guard); }
  // The heading above the status values: "Progress", or what became of the
  // last scan (empty: "Progress").
  void setProgressCaption(const QString& caption);

  // Copies the texts into the value labels, all in one step.
  void transferTexts(const ProgressTexts& texts);
  void setProgress(int perMille);
  // The thumbnail switch is off limits while a scan runs.
  void setThumbnailSwitchEnabled(bool enabled);

  CommandButtonStrip* strip() const { return strip_; }
  CImagePreviewStatic* previewBox() const { return preview_; }
  QComboBox* deviceSelector() const { return devices_; }
  QProgressBar* progressBar() const { return progress_; }
  QCheckBox* previewSwitch() const { return previewSwitch_; }
  QCheckBox* thumbnailSwitch() const { return thumbnailSwitch_; }
  CTransparentStatic* previewLabel() const { return previewLabel_; }
  CTransparentStatic* thumbnailLabel() const { return thumbnailLabel_; }
  // The value labels: elapsed, remaining, position, errors, files found,
  // total length, percentage.
  CTransparentStatic* value(int i) const { return values_[i]; }

  // Dialog units of the pane's font to pixels.
  QRect dialogRect(int x, int y, int w, int h) const;
  QSize sizeHint() const override;

 signals:
  // The "Show thumbnails" switch changed: the list is to be redrawn.
  void listRefreshRequested();
  // "Preview" or "Show thumbnails" changed.
  void switchesChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CTransparentStatic* addStatic(const QString& text, QRect r, const QColor& colour);
  void previewClicked();
  void thumbnailsClicked();

  AppContext* context_;
  int unitX_ = 0, unitY_ = 0;  // average character width and height
  CommandButtonStrip* strip_ = nullptr;
  QComboBox* devices_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QCheckBox* previewSwitch_ = nullptr;
  QCheckBox* thumbnailSwitch_ = nullptr;
  CTransparentStatic* previewLabel_ = nullptr;
  CTransparentStatic* thumbnailLabel_ = nullptr;
  CImagePreviewStatic* preview_ = nullptr;
  std::array<CTransparentStatic*, 7> values_{};
  CTransparentStatic* progressCaption_ = nullptr;
  std::function<bool(int)> deviceGuard_;
};

}  // namespace lumicarve
