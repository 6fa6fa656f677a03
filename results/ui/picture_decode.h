// The picture of a found file, from the device to a decoded QImage: which of
// its bytes hold a picture (a RAW file's embedded JPEG) and which decoder
// reads them (libheif for HEIC and AVIF, Qt's image plugins for the rest).
// The thumbnails, the pane preview and the preview dialog all decode through
// here. Makes QImages only, so it runs on any thread.
#pragma once

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <vector>

#include "results/ui/thumbnail_tiles.h"
#include "scan/file_types.h"

namespace lumicarve {

enum class PictureBytes {
  kRead,       // `out` holds the bytes to decode
  kNoPicture,  // a video, another type, or a RAW file without an embedded JPEG
  kFailed,     // a device read failed or the copy was refused: nothing true to show
  kStopped,    // `stop` was raised
};

// Reads the bytes holding `file`'s picture into `out`: a picture's own bytes,
// a RAW file's embedded JPEG. The record is not changed.
PictureBytes ReadPictureBytes(int handle, const FoundFile& file, std::vector<uint8_t>& out,
                              const std::atomic<bool>* stop = nullptr);

// Decodes `bytes`, the picture bytes of a found file of `type`, at the size
// it takes in a box of bw x bh (never enlarged). The image is null when the
// bytes do not decode; damaged input never throws or crashes.
DecodedPicture DecodePicture(const QByteArray& bytes, uint32_t type, int bw, int bh);
DecodedPicture DecodePicture(const std::vector<uint8_t>& bytes, uint32_t type, int bw, int bh);

// The thumbnail a camera stores in a JPEG's EXIF block, standing in for the
// picture in a box of bw x bh: read from the file's first sectors only, a
// few kilobytes to decode where the picture is megabytes. Used only when it
// has the picture's shape and is at least half the size the picture takes
// in the box; otherwise the image is null. `width` and `height` are the
// picture's own size, so the thumbnail is drawn where the picture would be.
DecodedPicture DecodeExifThumbnail(int handle, const FoundFile& file, int bw, int bh);

}  // namespace lumicarve
