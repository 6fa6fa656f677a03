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

bool ReadStartField32(ScanContext& context, uint64_t startSector, size_t offset, uint32_t& value) {
  uint8_t sector[kSectorSize];
  if (!ReadSectors(context.ScannedHandle(), startSector, 1, kSectorSize, sector)) {
    context.readErrors.fetch_add(1);
    return false;
  }
  return ByteView(sector, sizeof sector).u32le(offset, value);
}

namespace {

uint64_t RuleLength(ScanContext& context, uint64_t startSector, FileTypeMask& type) {
  const FileFormat* format = FormatOf(type);
  if (!format || !format->extent) return 0;
  return format->extent(context, startSector, type);
}

}  // namespace

Extent FindExtent(ScanContext& context, uint64_t startSector, FileTypeMask& type) {
  const uint64_t length = RuleLength(context, startSector, type);
  if (length == kUnknownLength) return {Extent::Kind::kOpenEnded, 0};
  if (length < 2) return {};
  return {Extent::Kind::kLength, length};
}

}  // namespace lumicarve
