#include "controls/transparent_static.h"

#include <QMouseEvent>

namespace lumicarve {

CTransparentStatic::CTransparentStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent), colour_(palette().color(QPalette::WindowText)) {
  // No background of its own: the parent repaints under every text change,
  // so an old text never shows through.
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
}

void CTransparentStatic::setTextColour(const QColor& colour) {
  colour_ = colour;
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour);
  p.setColor(QPalette::Disabled, QPalette::WindowText, colour);
  setPalette(p);
  update();
}

void CTransparentStatic::makeBold() {
  QFont f = font();
  f.setWeight(QFont::Bold);
  setFont(f);
}

void CTransparentStatic::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit clicked();
}

void CTransparentStatic::mouseDoubleClickEvent(QMouseEvent* event) {
  QLabel::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit doubleClicked();
}

}  // namespace lumicarve
