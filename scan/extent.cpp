#include "scan/extent.h"

#include "scan/byte_view.h"
#include "scan/formats/registry.h"
#include "scan/sector_reader.h"

namespace lumicarve {

bool ReportProgress(ScanContext& context, uint64_t sector) {
  const uint64_t total = context.ScannedSectors();
  context.observer.OnProgress(total ? static_cast<int>(sector * 1000 / total) : 0);
  return !context.Cancelled();
}

bool ReadStartSectors(ScanContext& context, uint64_t startSector, uint32_t sectors, uint8_t* out) {
  if (ReadSectors(context.ScannedHandle(), startSector, sectors, kSectorSize, out)) return true;
  context.readErrors.fetch_add(1);
  return false;
}

bool ReadStartField32(ScanContext& context, uint64_t startSector, size_t offset, uint32_t& value) {
  uint8_t sector[kSectorSize];
  return ReadStartSectors(context, startSector, 1, sector) && ByteView(sector, sizeof sector).u32le(offset, value);
}

Extent FindExtent(ScanContext& context, uint64_t startSector, FileTypeMask& type) {
  const FileFormat* format = FormatOf(type);
  if (!format || !format->extent) return Extent::Drop();
  return format->extent(context, startSector, type);
}

}  // namespace lumicarve
