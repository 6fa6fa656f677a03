// The embedded JPEG preview and the capture date of a TIFF-based RAW file,
// read by walking its IFDs on the device.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/file_types.h"

namespace lumicarve {

struct PreviewInfo {
  uint64_t offset;  // the JPEG's absolute byte offset on the device (file offset while walking)
  uint64_t length;  // the JPEG's length
  uint64_t date;    // FILETIME, 0 = none found
  uint32_t next;    // next-IFD offset of the IFD walked last
};

// Returns 1 when an embedded JPEG of positive length was found. Stores the
// file's date (possibly 0) in `record`, unless the start sector cannot be read.
int ReadRawPreview(int handle, FoundFile& record, PreviewInfo& info);

// Parses "YYYY:MM:DD HH:MM:SS" (each number up to its first non-digit) into a
// FILETIME. `text` holds `size` bytes. A text that is not a valid time leaves
// `filetime` as it was and returns false.
bool ParseExifDate(const char* text, size_t size, uint64_t& filetime);

}  // namespace lumicarve
