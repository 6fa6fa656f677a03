// The 160 x 120 tiles of the thumbnail list: a decoded picture fitted and
// centred in a silver frame, "Invalid image file" in red for a picture that
// does not decode, the blank tile, and the film-strip and camera placeholders.
// Everything here makes QImages, so it may run on the worker thread.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>

namespace lumicarve {

inline constexpr int kTileWidth = 160;
inline constexpr int kTileHeight = 120;
inline constexpr uint32_t IDS_INVALID_IMAGE = 61290;

// Where a picture of iw x ih lands in the tile (may reach outside it).
QRect TileGeometry(int iw, int ih);

// The tile of a decoded picture. `picture` may already be decoded at the
// fitted size; `iw` x `ih` is the picture's own size, 0 when it did not decode.
QImage MakeTile(const QImage& picture, int iw, int ih);
QImage BlankTile();
// Placeholders drawn from the resources: 134 the film strip (videos), 135
// the camera (every other file that is not decoded). Call on the window's
// thread; the images may then be handed to a worker.
QImage FilmStripPlaceholder();
QImage CameraPlaceholder();

struct DecodedPicture {
  QImage image;       // null when the picture did not decode
  int width = 0;      // the picture's own size
  int height = 0;
};

// Decodes the picture at `path` at the size it takes in a box of bw x bh:
// the JPEG decoder scales while it decodes. A JPEG whose decoder reports
// corrupt data counts as not decoded, never as a picture with a grey hole.
DecodedPicture DecodeFitted(const QString& path, int bw, int bh);
// The same for a picture held in memory; `format` ("jpeg", "png", ...) is
// tried first, as a file's extension would be.
DecodedPicture DecodeFitted(const QByteArray& bytes, const QByteArray& format, int bw, int bh);
// Qt's decoder name for a found picture's type; a RAW file's preview is a
// JPEG. Empty for a type Qt does not read (HEIC and AVIF go to libheif).
QByteArray DecoderFormat(uint32_t type);

}  // namespace lumicarve
