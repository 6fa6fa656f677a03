// RAF: the 16-byte text "FUJIFILMCCD-RAW " and, at offset 84, three pairs of
// big-endian 32-bit offset and length: the JPEG preview, the CFA header and
// the CFA data. The file ends where the furthest of them ends. Its capture
// date is the one in the EXIF block of the JPEG preview.
#include <algorithm>
#include <cstring>
#include <vector>

#include "scan/byte_view.h"
#include "scan/extent.h"
#include "scan/formats/capture_date.h"
#include "scan/formats/registry.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

bool RafSignature(const ByteView& s) { return s.equals(0, "FUJIFILMCCD-RAW ", 16); }

Extent RafExtent(ScanContext& context, uint64_t startSector, FileTypeMask&) {
  uint8_t head[kSectorSize];
  if (!ReadStartSectors(context, startSector, 1, head)) return Extent::Drop();
  const ByteView view(head, sizeof head);
  constexpr size_t kTable = 84;
  uint64_t end = 0;
  for (size_t at = kTable; at < kTable + 3 * 8; at += 8) {
    uint32_t offset = 0, length = 0;
    if (!view.u32be(at, offset) || !view.u32be(at + 4, length)) return Extent::Drop();
    if (length) end = std::max(end, uint64_t{offset} + length);
  }
  // The header with its table of offsets is the least a file holds.
  return Extent::Claim(end, kTable + 3 * 8);
}

bool RafDate(int handle, const FoundFile& file, uint64_t& filetime) {
  uint8_t head[92];
  if (!ReadFileBytes(handle, file, 0, sizeof head, head)) return false;
  const ByteView view(head, sizeof head);
  uint32_t offset = 0, length = 0;
  if (!view.u32be(84, offset) || !view.u32be(88, length)) return false;
  std::vector<uint8_t> jpeg(std::min<size_t>(length, kJpegExifHeadBytes));
  return ReadFileBytes(handle, file, offset, jpeg.size(), jpeg.data()) &&
         JpegExifDate(jpeg.data(), jpeg.size(), filetime);
}

}  // namespace

extern const FileFormat kRafFormat{.type = FT_RAF, .extension = "RAF", .description = 61406,
                                   .group = TypeGroup::kRaw, .signature = RafSignature, .firstBytes = "F",
                                   .extent = RafExtent, .captureDate = RafDate};

}  // namespace lumicarve
