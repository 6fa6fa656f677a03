// BMP: the 32-bit little-endian file size at offset 2 of the file header.
#include "scan/extent.h"

namespace lumicarve {

uint32_t BitmapLength(ScanContext& context, uint64_t startSector) {
  uint32_t size = 0;
  if (!ReadStartField32(context, startSector, 2, size)) return 0;
  return size;
}

}  // namespace lumicarve
