// AVI: a RIFF file whose 32-bit little-endian size at offset 4 counts the
// bytes after the first 8.
#include "scan/byte_view.h"
#include "scan/extent.h"
#include "scan/sector_reader.h"

namespace lumicarve {

uint32_t RiffLength(ScanContext& context, uint64_t startSector) {
  uint8_t sector[kSectorSize];
  if (!ReadSectors(context.ScannedHandle(), startSector, 1, kSectorSize, sector)) {
    context.readErrors.fetch_add(1);
    return 0;
  }
  uint32_t size = 0;
  ByteView(sector, sizeof sector).u32le(4, size);
  return size + 8;
}

}  // namespace lumicarve
