// The EXIF fields the preview dialog shows of a decoded picture: the camera's
// Make and Model. (Capture dates come from the JPEG date parser that both
// front ends share.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumicarve {

struct ExifFields {
  std::string make;   // cut to 63 characters
  std::string model;
};

// Set-up and shut-down of the EXIF library: its log is muted (damaged files
// are routine here) and its XMP parser made safe for several threads.
bool StartImaging();
bool StopImaging();

// Reads the fields from a picture's `size` bytes held in memory. A picture
// without EXIF, or one the reader rejects, gives empty fields: damaged input
// never throws out of here.
ExifFields ReadExifFields(const uint8_t* bytes, size_t size);

}  // namespace lumicarve
