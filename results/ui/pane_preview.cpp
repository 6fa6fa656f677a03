#include "results/ui/pane_preview.h"

#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

#include <unistd.h>

#include "recovery/jpeg_exif_date.h"
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

namespace {


// Decodes the picture at `path` fitted into the box and shows it with `name`.
void DrawPicture(CImagePreviewStatic& box, const std::string& path, const char* name) {
  const int bw = box.width(), bh = box.height();
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

  QImage bitmap(bw, bh, QImage::Format_RGB32);
  QPainter p(&bitmap);
  ClearWithFrame(p, bw, bh);
  if (!picture.isNull()) p.drawImage(target, picture);
  p.setPen(QPen(kFrame, 1));
  p.drawRect(QRect(0, 0, bw - 1, bh - 1));
  DrawName(p, name);
  p.end();
  box.setImage(bitmap);
}

}  // namespace

void PaintPanePreview(CImagePreviewStatic& box, const std::string& path, FoundFile* file,
                      const ScanContext& context) {
  int bw = box.width(), bh = box.height();
  if (bw <= 0 || bh <= 0) return;
  if (!file) {
    QImage bitmap(bw, bh, QImage::Format_RGB32);
    QPainter p(&bitmap);
    ClearWithFrame(p, bw, bh);
    p.end();
    box.setImage(bitmap);
    return;
  }
  DateJpegFromPath(path, *file);
  if (!context.previewEnabled) return;
  DrawPicture(box, path, file->name);
}

PanePreviewPacer::PanePreviewPacer(CImagePreviewStatic& box, const ScanContext& context, QObject* parent)
    : QObject(parent), box_(box), context_(context) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &PanePreviewPacer::flush);
}

PanePreviewPacer::~PanePreviewPacer() { drop(); }

void PanePreviewPacer::paint(const std::string& path, FoundFile& file) {
  if (box_.width() <= 0 || box_.height() <= 0) return;
  DrawPicture(box_, path, file.name);
  ++paints_;
  sincePaint_.start();
}

void PanePreviewPacer::pictureFound(const std::string& path, FoundFile& file) {
  DateJpegFromPath(path, file);
  if (!context_.previewEnabled) return;
  const bool due = !sincePaint_.isValid() || sincePaint_.elapsed() >= kIntervalMs;
  if (due && !timer_.isActive()) {
    drop();
    paint(path, file);
    return;
  }
  // The held copy keeps the temp file's extension, by which the decoder
  // knows a picture whose content does not tell its format.
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const std::string ext = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? std::string()
                                                                                                  : path.substr(dot);
  const std::string held = path.substr(0, slash == std::string::npos ? 0 : slash + 1) + "shown" + ext;
  // Removed first: a rename over an existing file makes some file systems
  // (ext4) write the renamed file out at once, milliseconds per picture.
  if (!heldPath_.empty()) ::unlink(heldPath_.c_str());
  heldPath_.clear();
  if (::rename(path.c_str(), held.c_str()) != 0) {
    // Without a copy to hold, this picture is shown now rather than never.
    timer_.stop();
    paint(path, file);
    return;
  }
  heldPath_ = held;
  held_ = file;
  if (!timer_.isActive()) {
    const qint64 left = sincePaint_.isValid() ? kIntervalMs - sincePaint_.elapsed() : 0;
    timer_.start(static_cast<int>(left < 0 ? 0 : left));
  }
}

void PanePreviewPacer::flush() {
  timer_.stop();
  if (heldPath_.empty()) return;
  // A preview switched off meanwhile has cleared the box; it stays clear.
  if (context_.previewEnabled) paint(heldPath_, held_);
  drop();
}

void PanePreviewPacer::drop() {
  timer_.stop();
  if (heldPath_.empty()) return;
  ::unlink(heldPath_.c_str());
  heldPath_.clear();
}

}  // namespace lumicarve
