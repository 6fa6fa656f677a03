// Where and under which names found files are saved: the destination folder
// (the last one used, or one chosen with "Browse..."), the naming template,
// and the name the first file will get.
#pragma once

#include <QDialog>

#include "scan/file_types.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace lumicarve {

// The template language in a few lines, as the options show it too.
QString TemplateLegend();

class RecoveryTargetDialog : public QDialog {
  Q_OBJECT

 public:
  // `first`: the first file to be saved, for the example name.
  RecoveryTargetDialog(const QString& destination, const QString& nameTemplate, const FoundFile& first,
                       const TypeCatalogue& catalogue, bool createDataFolders, QWidget* parent = nullptr);

  QString destination() const;
  QString nameTemplate() const;
  QLineEdit* destinationEdit() const { return destination_; }
  QLineEdit* templateEdit() const { return template_; }
  QLabel* example() const { return example_; }
  QPushButton* browseButton() const { return browse_; }

 private:
  void browse();
  void updateExample();

  FoundFile first_;
  const TypeCatalogue& catalogue_;
  bool createDataFolders_;
  QLineEdit* destination_ = nullptr;
  QLineEdit* template_ = nullptr;
  QLabel* example_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace lumicarve
