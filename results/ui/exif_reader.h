// The EXIF fields the previews read from a decoded picture: the capture date
// (DateTimeOriginal), the camera's Make and Model.
#pragma once

#include <cstdint>
#include <string>

namespace lumicarve {

struct ExifFields {
  bool hasDate = false;
  uint64_t date = 0;  // FILETIME, valid when hasDate
  std::string make;   // cut to 63 characters
  std::string model;
};

// Set-up and shut-down of the EXIF library: its log is muted (damaged files
// are routine here) and its XMP parser made safe for several threads.
bool StartImaging();
bool StopImaging();

// Reads the fields from the picture file at `path`. A file without EXIF, or
// one the reader rejects, gives empty fields: damaged input never throws out
// of here.
ExifFields ReadExifFields(const std::string& path);

}  // namespace lumicarve
