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

constexpr uint32_t kHeaderObject = 30;  // GUID, size, object count, reserved

// The file size from the File Properties object, once a video stream made
// the file a WMV.
Extent WmvClaim(FileTypeMask type, uint32_t size) {
  return type == FT_WMV ? Extent::Claim(size, kHeaderObject) : Extent::Drop();
}

Extent AsfExtent(ScanContext& context, uint64_t startSector, FileTypeMask& type) {
  // Two sectors hold any object's first 44 bytes wherever it starts in the first.
  uint8_t buf[2 * kSectorSize];
  if (!ReadStartSectors(context, startSector, 2, buf)) return Extent::Drop();
  const ByteView view(buf, sizeof buf);
  const int objects = view.byte(24);
  uint64_t position = kHeaderObject;
  uint64_t lastRead = startSector;
  uint32_t result = 0;
  for (int i = 0; i < objects; ++i) {
    const uint64_t sector = startSector + position / kSectorSize;
    if (sector != lastRead) {
      if (!ReportProgress(context, lastRead)) return Extent::Drop();
      if (!ReadStartSectors(context, sector, 2, buf)) return WmvClaim(type, result);
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
  return WmvClaim(type, result);
}

bool AsfSignature(const ByteView& s) {
  uint32_t guid = 0;
  return s.u32le(0, guid) && guid == 0x75B22630;
}

}  // namespace

// An ASF header is recognised as the interim type and becomes a WMV once its
// video stream is seen.
extern const FileFormat kAsfFormat{.type = FT_ASF, .signature = AsfSignature, .enabledBy = FT_WMV | FT_ASF,
                                   .firstBytes = "\x30", .extent = AsfExtent};
extern const FileFormat kWmvFormat{.type = FT_WMV, .extension = "WMV", .description = 61235,
                                   .group = TypeGroup::kVideo};

}  // namespace lumicarve
