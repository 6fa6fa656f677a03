#include "scan/cluster_check.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "scan/byte_view.h"
#include "scan/formats/ifd_visitor.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

bool PowerOfTwo(uint64_t v) { return v && !(v & (v - 1)); }

// A FAT12/16/32 boot sector (BIOS parameter block).
bool ParseFat(const ByteView& b, uint64_t base, ClusterGeometry& g) {
  uint16_t bps = 0, reserved = 0, rootEntries = 0, fat16 = 0, total16 = 0;
  uint32_t fat32 = 0, total32 = 0;
  uint8_t spc = 0, fats = 0;
  if (!(b.data()[0] == 0xEB || b.data()[0] == 0xE9) || !b.u16le(11, bps) || !b.u8(13, spc) ||
      !b.u16le(14, reserved) || !b.u8(16, fats) || !b.u16le(17, rootEntries) || !b.u16le(19, total16) ||
      !b.u16le(22, fat16) || !b.u32le(32, total32) || !b.u32le(36, fat32))
    return false;
  if (bps < 512 || bps > 4096 || !PowerOfTwo(bps) || !PowerOfTwo(spc) || reserved == 0 || fats < 1 || fats > 2)
    return false;
  const uint64_t fatSize = fat16 ? fat16 : fat32;
  const uint64_t total = total16 ? total16 : total32;
  if (fatSize == 0 || total == 0) return false;
  const uint64_t scale = bps / 512;
  const uint64_t rootSectors = (uint64_t{rootEntries} * 32 + bps - 1) / bps;
  g.dataStart = base + (reserved + fats * fatSize + rootSectors) * scale;
  g.dataEnd = base + total * scale;
  g.clusterSectors = spc * scale;
  return true;
}

bool ParseExFat(const ByteView& b, uint64_t base, ClusterGeometry& g) {
  uint32_t heap = 0, lo = 0, hi = 0;
  uint8_t bpsShift = 0, spcShift = 0;
  if (!b.equals(3, "EXFAT   ", 8) || !b.u32le(72, lo) || !b.u32le(76, hi) || !b.u32le(88, heap) || !b.u8(108, bpsShift) ||
      !b.u8(109, spcShift) || bpsShift < 9 || bpsShift > 12 || spcShift > 25 - bpsShift)
    return false;
  const uint64_t length = uint64_t{hi} << 32 | lo;
  const unsigned scale = bpsShift - 9;
  g.dataStart = base + (uint64_t{heap} << scale);
  g.dataEnd = base + (length << scale);
  g.clusterSectors = uint64_t{1} << (spcShift + scale);
  return true;
}

// NTFS counts clusters from the volume's first sector.
bool ParseNtfs(const ByteView& b, uint64_t base, ClusterGeometry& g) {
  uint16_t bps = 0;
  uint8_t raw = 0;
  uint32_t lo = 0, hi = 0;
  if (!b.equals(3, "NTFS    ", 8) || !b.u16le(11, bps) || !b.u8(13, raw) || !b.u32le(40, lo) || !b.u32le(44, hi))
    return false;
  if (bps < 512 || bps > 4096 || !PowerOfTwo(bps)) return false;
  const uint64_t spc = raw <= 0x80 ? raw : uint64_t{1} << (256 - raw);
  if (!PowerOfTwo(spc) || spc > 65536) return false;
  g.dataStart = base;
  g.dataEnd = base + (uint64_t{hi} << 32 | lo) * (bps / 512);
  g.clusterSectors = spc * (bps / 512);
  return true;
}

bool ParseVolume(const uint8_t* sector, uint64_t base, ClusterGeometry& g) {
  const ByteView b(sector, kSectorSize);
  if (sector[510] != 0x55 || sector[511] != 0xAA) return false;
  return ParseExFat(b, base, g) || ParseNtfs(b, base, g) || ParseFat(b, base, g);
}

// The containers whose Motion-JPEG frames carry a JFIF segment.
bool IsVideoClaimer(FileTypeMask t) {
  return t == FT_MOV || t == FT_MP4 || t == FT_3GP || t == FT_AVI || t == FT_WMV || t == FT_ASF || t == FT_MKV ||
         t == FT_WEBM;
}

// A TIFF header whose first IFD lies in the same sector, with a plausible
// entry count and a first entry of a known field type.
bool IsSaneTiff(const ByteView& v) {
  const bool le = v.equals(0, "II*\0", 4) || v.equals(0, "IIRO", 4) || v.equals(0, "IIU\0", 4);
  const bool be = v.equals(0, "MM\0*", 4);
  if (!le && !be) return false;
  uint32_t ifd = 0;
  uint16_t count = 0, type = 0;
  if (!v.u32(4, be, ifd) || ifd < 8 || !v.u16(ifd, be, count) || count == 0 || count > 200) return false;
  return v.u16(ifd + 4, be, type) && type >= 1 && type <= 13;
}

// Where a TIFF-based file's IFDs place strips, tiles and embedded JPEGs: a
// signature there is the file's own preview.
class OwnData : public IfdVisitor::Handler {
 public:
  std::vector<uint64_t> offsets;

  void Entry(IfdVisitor& walk, const IfdPlace& place, const TiffEntry& e) override {
    switch (e.tag) {
      case 273: case 324: case 513:  // strip, tile and JPEG offsets
        offsets.push_back(e.count == 1 ? e.value : First(walk, e));
        break;
      case 0x2E:  // the JPEG a Panasonic RAW embeds
        offsets.push_back(e.value);
        break;
      case 330:
        walk.WalkSubIfds(place, e, *this);
        break;
      case 34665:
        walk.WalkBelow(place, IfdKind::kExif, e.value, *this);
        break;
      default:
        break;
    }
  }

 private:
  static uint32_t First(IfdVisitor& walk, const TiffEntry& e) {
    uint8_t b[4] = {};
    const size_t size = e.fieldType == 3 ? 2 : 4;
    if (!walk.ReadBytes(e.value, size, b)) return 0;
    const ByteView v(b, size);
    if (size == 2) {
      uint16_t x = 0;
      v.u16(0, walk.bigEndian(), x);
      return x;
    }
    uint32_t x = 0;
    v.u32(0, walk.bigEndian(), x);
    return x;
  }
};

}  // namespace

ClusterGeometry ReadClusterGeometry(int fd, uint64_t totalSectors) {
  ClusterGeometry g;
  uint8_t sector[kSectorSize];
  if (totalSectors == 0 || !ReadSectors(fd, 0, 1, kSectorSize, sector)) return g;
  if (!ParseVolume(sector, 0, g) && sector[510] == 0x55 && sector[511] == 0xAA) {
    // A partitioned disk: the first partition the MBR lists.
    for (int i = 0; i < 4; ++i) {
      const ByteView entry(sector + 446 + 16 * i, 16);
      uint32_t lba = 0;
      entry.u32le(8, lba);
      if (entry.data()[4] == 0 || lba == 0 || lba >= totalSectors) continue;
      uint8_t boot[kSectorSize];
      if (ReadSectors(fd, lba, 1, kSectorSize, boot)) ParseVolume(boot, lba, g);
      break;
    }
  }
  g.dataEnd = std::min(g.dataEnd, totalSectors);
  if (g.dataStart >= g.dataEnd) g = ClusterGeometry{};
  return g;
}

bool IsStrongSignature(const uint8_t* sector, FileTypeMask claimer) {
  const ByteView s(sector, kSectorSize);
  if (s.equals(0, "\xFF\xD8\xFF", 3)) {
    if (s.byte(3) == 0xE1 && s.equals(6, "Exif\0\0", 6)) return true;
    if (s.byte(3) != 0xE0 || !s.equals(6, "JFIF\0", 5)) return false;
    // Motion-JPEG frames never carry EXIF: a JFIF segment followed by one is
    // a photo, inside a video's claim too.
    uint16_t length = 0;
    s.u16be(4, length);
    const size_t next = 4 + size_t{length};
    const bool exif = s.equals(next, "\xFF\xE1", 2) && s.equals(next + 4, "Exif\0\0", 6);
    return exif || !IsVideoClaimer(claimer);
  }
  if (IsSaneTiff(s)) return true;
  uint32_t size = 0;
  if (s.equals(4, "ftyp", 4) && s.u32be(0, size)) {
    bool brand = true;
    for (size_t i = 8; i < 12; ++i) brand = brand && s.byte(i) >= 0x20 && s.byte(i) < 0x7F;
    return size >= 16 && size <= 512 && size % 4 == 0 && brand;
  }
  if (s.equals(0, "RIFF", 4)) return s.equals(8, "AVI LIST", 8) || s.equals(8, "WEBPVP8", 7);
  if (s.equals(0, "FUJIFILMCCD-RAW ", 16)) return true;
  // An EBML header names its DocType within its first bytes.
  if (s.equals(0, "\x1A\x45\xDF\xA3", 4)) {
    const ByteView head = s.slice(0, 64);
    return head.find(0, 64, "\x42\x82\x88matroska", 11) || head.find(0, 64, "\x42\x82\x84webm", 7);
  }
  static constexpr uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  return s.equals(0, kAsfHeader, 16);
}

uint64_t FindHiddenFile(int fd, const ClusterGeometry& g, uint64_t start, uint64_t length, FileTypeMask claimer) {
  if (!g.known() || start < g.dataStart || start >= g.dataEnd) return 0;
  const uint64_t end = std::min(start + (length + kSectorSize - 1) / kSectorSize, g.dataEnd);
  bool ownDataRead = false;
  OwnData own;
  uint8_t sector[kSectorSize];
  for (uint64_t c = g.dataStart + ((start - g.dataStart) / g.clusterSectors + 1) * g.clusterSectors; c < end;
       c += g.clusterSectors) {
    if (!ReadSectors(fd, c, 1, kSectorSize, sector) || !IsStrongSignature(sector, claimer)) continue;
    if (claimer & kTiffFamily) {
      if (!ownDataRead) {
        ownDataRead = true;
        uint8_t head[kSectorSize];
        uint32_t ifd = 0;
        if (ReadSectors(fd, start, 1, kSectorSize, head)) {
          const bool be = head[0] == 'M';
          if (ByteView(head, kSectorSize).u32(4, be, ifd)) {
            IfdVisitor walk(fd, start, be);
            walk.WalkChain(ifd, own);
          }
        }
      }
      const uint64_t at = (c - start) * kSectorSize;
      if (std::find(own.offsets.begin(), own.offsets.end(), at) != own.offsets.end()) continue;
    }
    return c;
  }
  return 0;
}

}  // namespace lumicarve
