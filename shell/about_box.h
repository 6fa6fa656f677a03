// The About box: the application icon, the product name and its version on
// the window's dark gradient.
#pragma once

#include <QDialog>

namespace lumicarve {

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace lumicarve
