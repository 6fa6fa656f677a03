// A label drawn straight onto its parent's background (the pane's gradient
// shows through), in bold, in a colour of its own; optionally clickable.
#pragma once

#include <QLabel>

namespace lumicarve {

class CTransparentStatic : public QLabel {
  Q_OBJECT

 public:
  explicit CTransparentStatic(const QString& text, QWidget* parent = nullptr);

  void setTextColour(const QColor& colour);
  QColor textColour() const { return colour_; }
  void makeBold();

 signals:
  void clicked();
  void doubleClicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QColor colour_;
};

}  // namespace lumicarve
