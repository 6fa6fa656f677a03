// BMP: the 32-bit little-endian file size at offset 2 of the file header. A
// size below the file header and the 40-byte info header the signature
// requires is no file.
#include "scan/extent.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

// "BM" and a 40-byte information header.
bool BmpSignature(const ByteView& s) {
  uint32_t info = 0;
  return s.equals(0, "BM", 2) && s.u32le(14, info) && info == 40;
}

Extent BmpExtent(ScanContext& context, uint64_t startSector, FileTypeMask&) {
  constexpr uint32_t kHeaders = 14 + 40;
  uint32_t size = 0;
  if (!ReadStartField32(context, startSector, 2, size)) return Extent::Drop();
  return Extent::Claim(size, kHeaders);
}

}  // namespace

extern const FileFormat kBmpFormat{.type = FT_BMP, .extension = "BMP", .description = 61227,
                                   .group = TypeGroup::kPicture, .signature = BmpSignature, .firstBytes = "B",
                                   .extent = BmpExtent};

}  // namespace lumicarve
