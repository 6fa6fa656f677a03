// File > Options: the naming template of recovered files, the file types a
// scan keeps, and the minimum file size. The dialog edits its own copy of
// these settings; the frame takes them back only after OK.
#pragma once

#include <QDialog>

#include "shell/app_context.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace lumicarve {

inline constexpr uint32_t IDS_POSITIVE_INTEGER = 61300;
// The largest minimum size whose byte count (x 1024) fits the scan's 32-bit
// threshold.
inline constexpr uint32_t kMaxMinimumSizeKb = 2097151;
inline constexpr int kMaxTemplateLength = 259;

// The three settings the dialog edits, as the frame's AppContext holds them.
struct OptionsCopy {
  char namingTemplate[260] = {};
  FileTypeMask typeSelection = kAllTypes;
  int32_t minimumSize = 0;
};

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(const AppContext& context, QWidget* parent = nullptr);

  const OptionsCopy& copy() const { return copy_; }
  // Writes the template, the type selection and the minimum size into
  // `context`, nothing else.
  void applyTo(AppContext& context) const;

  QLineEdit* templateEdit() const { return templateEdit_; }
  QListWidget* formatList() const { return formatList_; }
  QLineEdit* minimumSizeEdit() const { return minimumSizeEdit_; }
  QPushButton* presetButton(int i) const { return presets_[i]; }

 public slots:
  void accept() override;

 private:
  void buildControls();
  void setChecksFromSelection();
  void applyPreset(FileTypeMask selection);
  void templateChanged();
  void refuse(const QString& text, QWidget* focus);

  OptionsCopy copy_;
  TypeCatalogue catalogue_;
  int rows_ = 0;
  QLineEdit* templateEdit_ = nullptr;
  QListWidget* formatList_ = nullptr;
  QLineEdit* minimumSizeEdit_ = nullptr;
  QPushButton* presets_[4] = {};
};

}  // namespace lumicarve
