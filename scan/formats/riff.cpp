// AVI: a RIFF file whose 32-bit little-endian size at offset 4 counts the
// bytes after the first 8.
#include "scan/extent.h"
#include <cstring>
#include "scan/formats/registry.h"

namespace lumicarve {

uint32_t RiffLength(ScanContext& context, uint64_t startSector) {
  uint32_t size = 0;
  if (!ReadStartField32(context, startSector, 4, size)) return 0;
  return size + 8;
}

namespace {

bool AviSignature(const uint8_t* s) { return std::memcmp(s, "RIFF", 4) == 0 && std::memcmp(s + 8, "AVI", 3) == 0; }

uint64_t AviExtent(ScanContext& context, uint64_t startSector, FileTypeMask&) {
  return RiffLength(context, startSector);
}

}  // namespace

extern const FileFormat kAviFormat{.type = FT_AVI, .extension = "AVI", .description = 61226,
                                   .group = TypeGroup::kVideo, .signature = AviSignature, .firstBytes = "R",
                                   .extent = AviExtent};

}  // namespace lumicarve
