#include "controls/gradient.h"

#include <QPainter>

#include <algorithm>

namespace lumicarve {

QColor GradientLineColour(const QColor& top, const QColor& bottom, int i, int d) {
  auto channel = [&](int start, int end) {
    return std::clamp(start + (end - start) * i / d, 0, 255);
  };
  return QColor(channel(top.red(), bottom.red()), channel(top.green(), bottom.green()),
                channel(top.blue(), bottom.blue()));
}

void PaintVerticalGradient(QPainter& painter, const QRect& rect, const QColor& top,
                           const QColor& bottom) {
  int d = rect.height();
  for (int i = 0; i < d; ++i)
    painter.fillRect(QRect(rect.left(), rect.top() + i, rect.width(), 1),
                     GradientLineColour(top, bottom, i, d));
}

}  // namespace lumicarve
