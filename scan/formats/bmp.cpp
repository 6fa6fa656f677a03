// BMP: the 32-bit little-endian file size at offset 2 of the file header.
#include "scan/byte_view.h"
#include "scan/extent.h"
#include "scan/sector_reader.h"

namespace lumicarve {

uint32_t BitmapLength(ScanContext& context, uint64_t startSector) {
  uint8_t sector[kSectorSize];
  if (!ReadSectors(context.ScannedHandle(), startSector, 1, kSectorSize, sector)) {
    context.readErrors.fetch_add(1);
    return 0;
  }
  uint32_t size = 0;
  ByteView(sector, sizeof sector).u32le(2, size);
  return size;
}

}  // namespace lumicarve
