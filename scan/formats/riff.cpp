// AVI: a RIFF file whose 32-bit little-endian size at offset 4 counts the
// bytes after the first 8. A claim shorter than the RIFF header itself is no
// file.
#include "scan/extent.h"

namespace lumicarve {

uint64_t RiffLength(ScanContext& context, uint64_t startSector) {
  constexpr uint64_t kRiffHeader = 12;  // "RIFF", size, form type
  uint32_t size = 0;
  if (!ReadStartField32(context, startSector, 4, size)) return 0;
  const uint64_t length = uint64_t{size} + 8;
  return length < kRiffHeader ? 0 : length;
}

}  // namespace lumicarve
