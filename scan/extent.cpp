#include "scan/extent.h"

#include "scan/byte_view.h"
#include "scan/sector_reader.h"

namespace lumicarve {

bool ReportProgress(ScanContext& context, uint64_t sector) {
  const uint64_t total = context.ScannedSectors();
  const int64_t perMille = total ? static_cast<int64_t>(sector * 1000 / total) : 0;
  if (context.owner) context.owner->ScanNotify(kNotifyProgress, perMille, nullptr);
  if (context.scanState.load() == SCAN_CANCEL) {
    if (context.owner) context.owner->ScanNotify(kNotifyProgress, 0, nullptr);
    return false;
  }
  return true;
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
  switch (type) {
    case FT_MOV: case FT_MP4: case FT_3GP: return AtomWalkLength(context, startSector);
    case FT_AVI: return RiffLength(context, startSector);
    case FT_BMP: return BitmapLength(context, startSector);
    case FT_TIF:
      return WalkTiff(context.ScannedHandle(), startSector, type,
                      [&context] { return context.scanState.load() == SCAN_CANCEL; });
    case FT_ASF: return AsfLength(context, startSector, type);
    default: return 0;
  }
}

}  // namespace

Extent FindExtent(ScanContext& context, uint64_t startSector, FileTypeMask& type) {
  const uint64_t length = RuleLength(context, startSector, type);
  if (length == kUnknownLength) return {Extent::Kind::kOpenEnded, 0};
  if (length < 2) return {};
  return {Extent::Kind::kLength, length};
}

}  // namespace lumicarve
