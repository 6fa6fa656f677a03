// ASF (Windows Media): the header object (GUID, 64-bit size, 32-bit object
// count, 2 reserved bytes) holds objects of GUID + 64-bit size each. The File
// Properties object gives the file size; a Stream Properties object of the
// video stream type makes the file a WMV. Without video it is dropped.
#include "scan/byte_view.h"
#include "scan/extent.h"
#include "scan/sector_reader.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

constexpr uint32_t kFilePropertiesGuid = 0x8CABDCA1;
constexpr uint32_t kStreamPropertiesGuid = 0xB7DC0791;
constexpr uint32_t kVideoStreamGuid = 0xBC19EFC0;

}  // namespace

uint32_t AsfLength(ScanContext& context, uint64_t startSector, FileTypeMask& type) {
  const int fd = context.ScannedHandle();
  // Two sectors hold any object's first 44 bytes wherever it starts in the first.
  uint8_t buf[2 * kSectorSize];
  if (!ReadSectors(fd, startSector, 2, kSectorSize, buf)) {
    context.readErrors.fetch_add(1);
    return 0;
  }
  const ByteView view(buf, sizeof buf);
  const int objects = buf[24];
  uint64_t position = 30;
  uint64_t lastRead = startSector;
  uint32_t result = 0;
  for (int i = 0; i < objects; ++i) {
    const uint64_t sector = startSector + position / kSectorSize;
    if (sector != lastRead) {
      if (!ReportProgress(context, lastRead)) return 0;
      if (!ReadSectors(fd, sector, 2, kSectorSize, buf)) {
        context.readErrors.fetch_add(1);
        return type == FT_WMV ? result : 0;
      }
      lastRead = sector;
    }
    const size_t at = position % kSectorSize;
    uint32_t guid = 0, size = 0;
    view.u32le(at, guid);
    if (guid == kFilePropertiesGuid) view.u32le(at + 40, result);
    uint32_t streamType = 0;
    if (guid == kStreamPropertiesGuid && view.u32le(at + 24, streamType) && streamType == kVideoStreamGuid)
      type = FT_WMV;
    view.u32le(at + 16, size);
    position += size;
  }
  return type == FT_WMV ? result : 0;
}

namespace {

bool AsfSignature(const uint8_t* s) {
  uint32_t guid = 0;
  return ByteView(s, 4).u32le(0, guid) && guid == 0x75B22630;
}

uint64_t AsfExtent(ScanContext& context, uint64_t startSector, FileTypeMask& type) {
  return AsfLength(context, startSector, type);
}

}  // namespace

// An ASF header is recognised as the interim type and becomes a WMV once its
// video stream is seen.
extern const FileFormat kAsfFormat{.type = FT_ASF, .signature = AsfSignature, .enabledBy = FT_WMV | FT_ASF,
                                   .firstBytes = "\x30", .extent = AsfExtent};
extern const FileFormat kWmvFormat{.type = FT_WMV, .extension = "WMV", .description = 61235,
                                   .group = TypeGroup::kVideo};

}  // namespace lumicarve
