#include "results/pane_preview.h"

#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

#include "results/exif_reader.h"
#include "scan/scan_context.h"

namespace lumicarve {
namespace {

const QColor kFrame(0xB0, 0xB0, 0xB0);
const QColor kHalo = QColor::fromRgba(0x40004080);

void ClearWithFrame(QPainter& p, int bw, int bh) {
  p.fillRect(QRect(0, 0, bw, bh), Qt::black);
  p.setPen(QPen(kFrame, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRect(0, 0, bw - 1, bh - 1));
}

void DrawName(QPainter& p, const char* name) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(14);
  QPainterPath path;
  path.addText(QPointF(5, 5 + QFontMetrics(font).ascent()), font, QString::fromLatin1(name));
  // Three ever wider strokes of the quarter-opaque halo make a soft glow.
  for (int width : {2, 4, 6}) {
    QPen pen(kHalo, width);
    pen.setJoinStyle(Qt::RoundJoin);
    p.strokePath(path, pen);
  }
  p.fillPath(path, Qt::white);
}

}  // namespace

QRect FitPicture(int iw, int ih, int bw, int bh) {
  int w = bw, h = bh;
  if (iw > 0 && ih > 0) {
    w = iw;
    h = ih;
    if (iw > bw || ih > bh) {
      // 64-bit: a huge picture times a box side must not overflow.
      if (iw > ih) {
        w = bw;
        h = static_cast<int>(int64_t{ih} * bw / iw);
      } else {
        h = bh;
        w = static_cast<int>(int64_t{iw} * bh / ih);
      }
    }
  }
  return QRect((bw - w) / 2, (bh - h) / 2, w, h);
}

CImagePreviewStatic::CImagePreviewStatic(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CImagePreviewStatic::setImage(const QImage& image) {
  image_ = image;
  update();
}

void CImagePreviewStatic::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  if (image_.isNull()) return;
  p.drawImage((width() - image_.width()) / 2, (height() - image_.height()) / 2, image_);
}

void PaintPanePreview(CImagePreviewStatic& box, const std::string& path, FoundFile* file,
                      const ScanContext& context) {
  int bw = box.width(), bh = box.height();
  if (bw <= 0 || bh <= 0) return;
  QImage bitmap(bw, bh, QImage::Format_RGB32);
  if (!file) {
    QPainter p(&bitmap);
    ClearWithFrame(p, bw, bh);
    p.end();
    box.setImage(bitmap);
    return;
  }

  QImageReader reader(QString::fromStdString(path));
  reader.setAutoTransform(false);
  QSize size = reader.size();
  QRect target = FitPicture(size.width(), size.height(), bw, bh);
  // Decoding at the drawn size keeps a camera-size JPEG cheap.
  if (size.isValid() && target.size() != size && target.width() > 0 && target.height() > 0)
    reader.setScaledSize(target.size());
  QImage picture = reader.read();
  if (!size.isValid() && !picture.isNull())
    target = FitPicture(picture.width(), picture.height(), bw, bh);

  if (file->type == FT_JPG) {
    ExifFields exif = ReadExifFields(path);
    if (exif.hasDate) file->date = exif.date;
  }
  if (!context.previewEnabled) return;

  QPainter p(&bitmap);
  ClearWithFrame(p, bw, bh);
  if (!picture.isNull()) p.drawImage(target, picture);
  p.setPen(QPen(kFrame, 1));
  p.drawRect(QRect(0, 0, bw - 1, bh - 1));
  DrawName(p, file->name);
  p.end();
  box.setImage(bitmap);
}

}  // namespace lumicarve
