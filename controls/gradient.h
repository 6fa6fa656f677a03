// The dark gradients of the window's panes, boxes and buttons.
#pragma once

#include <QColor>
#include <QRect>

class QPainter;

namespace lumicarve {

// Line i of d (0 to d - 1) gets start + (end - start) * i / d in each of red,
// green and blue, truncated toward zero: the top line is `top` exactly, the
// bottom line one step short of `bottom`.
QColor GradientLineColour(const QColor& top, const QColor& bottom, int i, int d);
// Fills `rect` line by line from `top` to `bottom`.
void PaintVerticalGradient(QPainter& painter, const QRect& rect, const QColor& top,
                           const QColor& bottom);

}  // namespace lumicarve
