// What the readers of capture dates share: bounded reads of a found file's
// bytes on the device, the walk of ISO media boxes, and the DateTimeOriginal
// of an EXIF block, whether it stands in a JPEG or alone as a TIFF structure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "scan/byte_view.h"
#include "scan/file_types.h"

namespace lumicarve {

// An APP1 segment holds at most 64 KB; it follows SOI and perhaps a JFIF
// APP0, so a JPEG's first 132 sectors always contain it whole.
inline constexpr size_t kJpegExifHeadBytes = size_t{132} * 512;
// The most a date reader takes of one metadata block: a block claiming more
// is read this far.
inline constexpr size_t kMaxMetadataBytes = size_t{256} << 10;

// Reads the `n` bytes at byte `offset` of `file` from the device `handle`.
// False when they do not all lie inside the file's length or cannot be read.
bool ReadFileBytes(int handle, const FoundFile& file, uint64_t offset, size_t n, uint8_t* out);

// A header of `most` bytes at `offset`, or of only `least` where fewer than
// `most` are left before `end`, read into `out`; nothing when the read fails.
std::optional<ByteView> ReadFileHead(int handle, const FoundFile& file, uint64_t offset, uint64_t end, size_t least,
                                     size_t most, uint8_t* out);

// The ISO media box (QuickTime atom) of `type` among the boxes laid end to end
// from `begin` to `end` of `file`: the offsets of its body and of its end.
// False when none is found before a box that breaks the chain.
bool FindBox(int handle, const FoundFile& file, uint64_t begin, uint64_t end, const char* type, uint64_t& body,
             uint64_t& bodyEnd);

// The DateTimeOriginal of the TIFF structure `tiff`: in the EXIF IFD that
// IFD0 points to, or in IFD0 itself when the structure is an EXIF IFD stored
// alone.
bool TiffExifDate(const ByteView& tiff, uint64_t& filetime);

// The date from a JPEG's leading bytes (`size` of them): false when they
// hold no EXIF block with a valid DateTimeOriginal.
bool JpegExifDate(const uint8_t* bytes, size_t size, uint64_t& filetime);

// Where the thumbnail a camera stores in a JPEG's EXIF block lies among the
// JPEG's leading bytes (`size` of them): false when there is none, or when
// it does not lie whole inside the block or is not a JPEG.
bool JpegExifThumbnail(const uint8_t* bytes, size_t size, size_t& offset, size_t& length);

}  // namespace lumicarve
