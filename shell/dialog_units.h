// Dialog templates give positions in dialog units of an 8-point sans-serif
// font: a horizontal unit is a quarter of its average character width (6
// pixels), a vertical one an eighth of its height (13 pixels).
#pragma once

#include <QRect>
#include <QSize>

namespace lumicarve {

constexpr int DluX(int x) { return x * 6 / 4; }
constexpr int DluY(int y) { return y * 13 / 8; }
inline QRect DluRect(int x, int y, int w, int h) { return QRect(DluX(x), DluY(y), DluX(w), DluY(h)); }
inline QSize DluSize(int w, int h) { return QSize(DluX(w), DluY(h)); }

}  // namespace lumicarve
