// The capture date of a found JPEG: the DateTimeOriginal of its EXIF block,
// read from the device by one parser for both front ends, so they file a
// card alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/file_types.h"
#include "scan/formats/capture_date.h"

namespace lumicarve {

// Reads the first sectors of `file` from the device and sets its date when
// it is a JPEG with an EXIF capture date. True when a date was set.
bool DateJpegFromExif(int deviceFd, FoundFile& file);

}  // namespace lumicarve
