// BMP: the 32-bit little-endian file size at offset 2 of the file header. A
// size below the file header and the 40-byte info header the signature
// requires is no file.
#include "scan/extent.h"

namespace lumicarve {

uint32_t BitmapLength(ScanContext& context, uint64_t startSector) {
  constexpr uint32_t kHeaders = 14 + 40;
  uint32_t size = 0;
  if (!ReadStartField32(context, startSector, 2, size)) return 0;
  return size < kHeaders ? 0 : size;
}

}  // namespace lumicarve
