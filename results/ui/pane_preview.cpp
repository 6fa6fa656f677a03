#include "results/ui/pane_preview.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/resource.h>
#include <unistd.h>

#include <vector>

#include "results/ui/picture_decode.h"
#include "shell/app_context.h"

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

// The box's bitmap: the picture fitted and centred, the frame and the name.
QImage ComposePreview(const DecodedPicture& picture, int bw, int bh, const char* name) {
  QImage bitmap(bw, bh, QImage::Format_RGB32);
  QPainter p(&bitmap);
  ClearWithFrame(p, bw, bh);
  if (!picture.image.isNull()) {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(FitPicture(picture.width, picture.height, bw, bh), picture.image);
  }
  p.setPen(QPen(kFrame, 1));
  p.drawRect(QRect(0, 0, bw - 1, bh - 1));
  DrawName(p, name);
  p.end();
  return bitmap;
}

}  // namespace

QImage RenderPreview(int deviceFd, const FoundFile& file, int bw, int bh, PreviewDetail detail,
                     bool* fromThumbnail) {
  if (fromThumbnail) *fromThumbnail = false;
  if (detail == PreviewDetail::kQuick) {
    const DecodedPicture thumbnail = DecodeExifThumbnail(deviceFd, file, bw, bh);
    if (!thumbnail.image.isNull()) {
      if (fromThumbnail) *fromThumbnail = true;
      return ComposePreview(thumbnail, bw, bh, file.name);
    }
  }
  std::vector<uint8_t> bytes;
  DecodedPicture picture;
  if (ReadPictureBytes(deviceFd, file, bytes) == PictureBytes::kRead) picture = DecodePicture(bytes, file.type, bw, bh);
  return ComposePreview(picture, bw, bh, file.name);
}

void ClearPanePreview(CImagePreviewStatic& box) {
  const int bw = box.width(), bh = box.height();
  if (bw <= 0 || bh <= 0) return;
  QImage bitmap(bw, bh, QImage::Format_RGB32);
  QPainter p(&bitmap);
  ClearWithFrame(p, bw, bh);
  p.end();
  box.setImage(bitmap);
}

PanePreviewPacer::PanePreviewPacer(CImagePreviewStatic& box, const AppContext& context, QObject* parent)
    : QObject(parent), box_(box), context_(context) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &PanePreviewPacer::startDecode);
  connect(&watcher_, &QFutureWatcherBase::finished, this, &PanePreviewPacer::decoded);
}

// A decode still running finishes on its own; its picture is not shown.
PanePreviewPacer::~PanePreviewPacer() { watcher_.disconnect(this); }

void PanePreviewPacer::pictureFound(int deviceFd, const FoundFile& file) {
  if (!context_.previewEnabled) return;
  held_ = Held{deviceFd, file};
  if (decoding_ || timer_.isActive()) return;
  const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : kIntervalMs;
  if (since >= kIntervalMs) startDecode();
  else timer_.start(static_cast<int>(kIntervalMs - since));
}

// Live previews decode on one thread of their own at the lowest priority
// (nice 19): when the cores are busy the scan's reader and loop threads come
// first and the preview takes a small share of the time, so showing pictures
// hardly slows the scan, yet it never starves. Built on first use and kept
// for the program's life, as Qt's global pool is.
static QThreadPool& PreviewPool() {
  static QThreadPool* const pool = [] {
    auto* p = new QThreadPool;
    p->setMaxThreadCount(1);
    return p;
  }();
  return *pool;
}

void PanePreviewPacer::startDecode() {
  timer_.stop();
  if (decoding_ || !held_) return;
  const int bw = box_.width(), bh = box_.height();
  if (bw <= 0 || bh <= 0) {
    held_.reset();
    return;
  }
  Held job = *held_;
  held_.reset();
  if (flushing_) job.detail = PreviewDetail::kFull;
  decodingJob_ = job;
  decoding_ = true;
  watcher_.setFuture(QtConcurrent::run(&PreviewPool(), [job, bw, bh] {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
    Rendered out;
    out.bitmap = RenderPreview(job.fd, job.file, bw, bh, job.detail, &out.fromThumbnail);
    return out;
  }));
}

void PanePreviewPacer::decoded() {
  if (!decoding_) return;  // dropped meanwhile
  decoding_ = false;
  // A preview switched off meanwhile has cleared the box; it stays clear.
  if (context_.previewEnabled) {
    const Rendered rendered = watcher_.result();
    box_.setImage(rendered.bitmap);
    ++paints_;
    if (rendered.fromThumbnail) shownQuick_ = decodingJob_;
    else shownQuick_.reset();
  }
  sincePaint_.start();
  if (flushing_) redrawWhole();
  if (!held_) {
    flushing_ = false;
  } else if (flushing_) {
    startDecode();
  } else {
    timer_.start(kIntervalMs);
  }
}

void PanePreviewPacer::redrawWhole() {
  if (!held_ && shownQuick_ && context_.previewEnabled) held_ = shownQuick_;
  shownQuick_.reset();
}

void PanePreviewPacer::flush() {
  flushing_ = true;
  if (!decoding_) redrawWhole();
  if (!decoding_) startDecode();
  if (!decoding_) flushing_ = false;
}

void PanePreviewPacer::drop() {
  timer_.stop();
  held_.reset();
  shownQuick_.reset();
  decoding_ = false;
  flushing_ = false;
}

}  // namespace lumicarve
