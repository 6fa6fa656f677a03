// The capture date of a found JPEG, read from its own bytes on the device:
// the DateTimeOriginal of its EXIF block, the same field the window reads
// from a decoded picture, so both front ends file a card alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/file_types.h"

namespace lumicarve {

// The date from a JPEG's leading bytes (`size` of them): false when they
// hold no EXIF block with a valid DateTimeOriginal.
bool JpegExifDate(const uint8_t* bytes, size_t size, uint64_t& filetime);

// Reads the first sectors of `file` from the device and sets its date when
// it is a JPEG with an EXIF capture date. True when a date was set.
bool DateJpegFromExif(int deviceFd, FoundFile& file);

}  // namespace lumicarve
