// The three large buttons "Search files", "Recover files" and "Cancel" at the
// top of the control pane. Each is a real button: it takes the keyboard
// focus (Tab, then Space or Enter), follows the context's CommandEnable
// flag of its command and turns a click into a control request to the main
// frame.
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>

namespace lumicarve {

struct AppContext;

class CommandButtonStrip : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kButtonWidth = 86;
  static constexpr int kButtonHeight = 100;
  static constexpr int kButtons = 3;
  static constexpr int kHoverTimerMs = 100;
  enum Look { kNormal, kDisabled, kHover, kPressed };

  explicit CommandButtonStrip(QWidget* parent = nullptr);

  void setContext(AppContext* context) { context_ = context; }
  // Stores CommandEnable[index] and enables the button to match.
  void setCommandEnable(int index, bool value);
  bool commandEnabled(int index) const;

  QAbstractButton* button(int index) const { return buttons_[index]; }
  int hoverIndex() const;
  int pressedIndex() const;
  Look lookOf(int index) const;
  // The face of button `index` in `look`, rendered once.
  const QPixmap& face(int index, Look look);
  QSize sizeHint() const override;

 signals:
  // 0 start a scan, 1 recover files, 2 cancel the scan.
  void controlRequest(int code);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void renderLooks();

  AppContext* context_ = nullptr;
  std::array<QAbstractButton*, kButtons> buttons_{};
  std::array<std::array<QPixmap, 4>, kButtons> looks_;
  bool looksRendered_ = false;
};

// One button of the strip, drawn with the strip's faces.
class CommandButton : public QAbstractButton {
  Q_OBJECT

 public:
  CommandButton(CommandButtonStrip* strip, int index);
  bool hovered() const { return hovered_; }
  bool hoverTimerRunning() const { return hoverTimer_.isActive(); }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void hoverTick();

  CommandButtonStrip* strip_;
  int index_;
  bool hovered_ = false;
  // The hover look goes soon after the cursor leaves, even when no leave
  // event comes (a window that lost the pointer).
  QTimer hoverTimer_;
};

}  // namespace lumicarve
