// The embedded JPEG preview and the capture date of a TIFF-based RAW file,
// read by walking its IFDs on the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "scan/file_types.h"
#include "scan/formats/ifd_visitor.h"

namespace lumicarve {

struct PreviewInfo {
  uint64_t offset;  // the JPEG's absolute byte offset on the device (file offset while walking)
  uint64_t length;  // the JPEG's length
  uint64_t date;    // FILETIME, 0 = none found
};

// Returns 1 when an embedded JPEG of positive length was found. Stores the
// file's date (possibly 0) in `record`, unless the start sector cannot be read.
int ReadRawPreview(int handle, FoundFile& record, PreviewInfo& info, const CancelCheck& cancelled = {});

// Ceiling of any copy made only to be looked at (the scan's preview temp
// file, the thumbnail and preview-dialog copies): a header that claims
// gigabytes must not fill the temp folder.
inline constexpr uint64_t kMaxPreviewCopyBytes = uint64_t{64} << 20;

// Device bytes a temp or preview copy takes: `offset` is absolute.
struct CopyRange {
  uint64_t offset = 0;
  uint64_t length = 0;
};

// The bytes a temp or preview copy of `file` may take: its embedded preview
// when `preview` is given, else the whole file. Nothing when that is empty,
// when a preview does not lie wholly inside its file, or when it is longer
// than kMaxPreviewCopyBytes.
std::optional<CopyRange> PreviewCopyRange(const FoundFile& file, const PreviewInfo* preview);

// Parses "YYYY:MM:DD HH:MM:SS" (each number up to its first non-digit) into a
// FILETIME. `text` holds `size` bytes. A text that is not a valid time leaves
// `filetime` as it was and returns false.
bool ParseExifDate(const char* text, size_t size, uint64_t& filetime);

}  // namespace lumicarve
