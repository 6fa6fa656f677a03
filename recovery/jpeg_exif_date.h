// The capture date of a found JPEG: the DateTimeOriginal of its EXIF block,
// read by one parser whether the bytes come from the device (the command
// line) or from the preview temp file (the window), so both front ends file
// a card alike.
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

// The same from the file at `path`, which holds the found JPEG's bytes.
bool DateJpegFromPath(const std::string& path, FoundFile& file);

}  // namespace lumicarve
