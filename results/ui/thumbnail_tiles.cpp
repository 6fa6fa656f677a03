#include "results/ui/thumbnail_tiles.h"

#include <QBuffer>
#include <QFont>
#include <QImageReader>
#include <QLoggingCategory>
#include <QPainter>
#include <QSvgRenderer>

#include <cstring>
#include <mutex>

#include "results/ui/pane_preview.h"
#include "scan/file_types.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

const QColor kSilver(192, 192, 192);
const QColor kRed = QColor::fromRgba(0xFFFF0000);
constexpr char kJpegCategory[] = "qt.gui.imageio.jpeg";

// Qt's JPEG reader hands back a picture even when the decoder found corrupt
// data, and says so only in a warning of its logging category. The warnings
// are counted per thread, so a decode can tell whether its own data was bad.
thread_local int t_jpegWarnings = 0;
QtMessageHandler g_previousHandler = nullptr;
QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

void CountJpegWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (context.category && std::strcmp(context.category, kJpegCategory) == 0 &&
      type == QtWarningMsg) {
    ++t_jpegWarnings;
    return;
  }
  if (g_previousHandler) g_previousHandler(type, context, text);
}

// The counting must not depend on the user's logging rules.
void KeepJpegWarningsOn(QLoggingCategory* category) {
  if (g_previousFilter) g_previousFilter(category);
  if (std::strcmp(category->categoryName(), kJpegCategory) == 0)
    category->setEnabled(QtWarningMsg, true);
}

void WatchJpegWarnings() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_previousHandler = qInstallMessageHandler(CountJpegWarnings);
    g_previousFilter = QLoggingCategory::installFilter(KeepJpegWarningsOn);
  });
}

QImage Render(const char* resource) {
  QImage image(kTileWidth, kTileHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QSvgRenderer svg(QString::fromLatin1(resource));
  QPainter p(&image);
  svg.render(&p, QRectF(0, 0, kTileWidth, kTileHeight));
  return image;
}

void Frame(QImage& tile) {
  QPainter p(&tile);
  p.setPen(QPen(kSilver, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(0, 0, kTileWidth - 1, kTileHeight - 1);
}

}  // namespace

QRect TileGeometry(int iw, int ih) { return FitPicture(iw, ih, kTileWidth, kTileHeight); }

QImage MakeTile(const QImage& picture, int iw, int ih) {
  QImage tile(kTileWidth, kTileHeight, QImage::Format_RGB32);
  tile.fill(Qt::white);
  const bool valid = iw > 0 && ih > 0 && !picture.isNull();
  {
    QPainter p(&tile);
    if (valid) {
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      p.drawImage(TileGeometry(iw, ih), picture);
    } else {
      QFont font(QStringLiteral("Arial"));
      font.setStyleHint(QFont::SansSerif);
      font.setPointSize(16);
      p.setFont(font);
      p.setPen(kRed);
      p.drawText(QRect(0, 0, kTileWidth, kTileHeight), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                 Text(IDS_INVALID_IMAGE));
    }
  }
  Frame(tile);
  return tile;
}

QImage BlankTile() {
  QImage tile(kTileWidth, kTileHeight, QImage::Format_RGB32);
  tile.fill(Qt::white);
  Frame(tile);
  return tile;
}

QImage FilmStripPlaceholder() { return Render(":/placeholders/film_strip.svg"); }
QImage CameraPlaceholder() { return Render(":/placeholders/camera.svg"); }

namespace {

DecodedPicture Decode(QImageReader& reader, int bw, int bh) {
  WatchJpegWarnings();
  DecodedPicture out;
  reader.setAutoTransform(false);
  const QSize size = reader.size();
  const bool jpeg = reader.format() == "jpeg";
  if (size.isValid()) {
    const QRect target = FitPicture(size.width(), size.height(), bw, bh);
    if (target.size() != size && target.width() > 0 && target.height() > 0)
      reader.setScaledSize(target.size());
  }
  t_jpegWarnings = 0;
  QImage image = reader.read();
  if (image.isNull() || (jpeg && t_jpegWarnings > 0)) return out;
  out.image = image;
  out.width = size.isValid() ? size.width() : image.width();
  out.height = size.isValid() ? size.height() : image.height();
  return out;
}

}  // namespace

DecodedPicture DecodeFitted(const QString& path, int bw, int bh) {
  QImageReader reader(path);
  return Decode(reader, bw, bh);
}

DecodedPicture DecodeFitted(const QByteArray& bytes, const QByteArray& format, int bw, int bh) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  return Decode(reader, bw, bh);
}

QByteArray DecoderFormat(uint32_t type) {
  if (IsRawType(type)) return "jpeg";
  switch (type) {
    case FT_JPG: return "jpeg";
    case FT_PNG: return "png";
    case FT_GIF: return "gif";
    case FT_BMP: return "bmp";
    case FT_TIF: return "tiff";
    case FT_WEBP: return "webp";
    default: return QByteArray();
  }
}

}  // namespace lumicarve
