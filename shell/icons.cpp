#include "shell/icons.h"

#include <QPainter>
#include <QSvgRenderer>

namespace lumicarve {
namespace {

QImage RenderSvg(const QString& resource, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  QPainter p(&image);
  renderer.render(&p);
  return image;
}

QString ResourceOf(ButtonIcon icon) {
  switch (icon) {
    case ButtonIcon::kSearch: return QStringLiteral(":/icons/search.svg");
    case ButtonIcon::kRecover: return QStringLiteral(":/icons/recover.svg");
    case ButtonIcon::kCancel: return QStringLiteral(":/icons/cancel.svg");
  }
  return {};
}

}  // namespace

QImage RenderButtonIcon(ButtonIcon icon, IconLook look, int size) {
  QImage image = RenderSvg(ResourceOf(icon), size).convertToFormat(QImage::Format_ARGB32);
  if (look == IconLook::kNormal) return image;
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      QRgb px = line[x];
      int r = qRed(px), g = qGreen(px), b = qBlue(px), a = qAlpha(px);
      if (look == IconLook::kHover) {
        // A third of the way to white.
        r += (255 - r) / 3;
        g += (255 - g) / 3;
        b += (255 - b) / 3;
      } else {
        int grey = (r * 11 + g * 16 + b * 5) / 32;
        r = g = b = 0x50 + grey / 3;
        a = a * 3 / 4;
      }
      line[x] = qRgba(r, g, b, a);
    }
  }
  return image;
}

QIcon DeviceIcon() { return QIcon(QStringLiteral(":/icons/device.svg")); }

QIcon ApplicationIcon() { return QIcon(QStringLiteral(":/icons/lumicarve.svg")); }

QImage ApplicationImage(int size) { return RenderSvg(QStringLiteral(":/icons/lumicarve.svg"), size); }

}  // namespace lumicarve
