// AVI: a RIFF file whose 32-bit little-endian size at offset 4 counts the
// bytes after the first 8.
#include "scan/extent.h"

namespace lumicarve {

uint32_t RiffLength(ScanContext& context, uint64_t startSector) {
  uint32_t size = 0;
  if (!ReadStartField32(context, startSector, 4, size)) return 0;
  return size + 8;
}

}  // namespace lumicarve
