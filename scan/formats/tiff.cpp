// TIFF and the TIFF-based RAW formats: the length is the furthest of the IFDs,
// the strips, the tiles, the JPEG of each IFD and the tag values stored outside
// the entries; the header and IFD0's Make (and a DNGVersion tag anywhere) tell
// which camera format the file is. Every offset comes from the device and is
// distrusted: visited IFDs end the chain, chains and nesting are capped, and
// entries past the bytes read are never looked at.
#include <algorithm>
#include <cstring>
#include <vector>

#include "scan/extent.h"
#include "scan/formats/tiff_entry.h"
#include "scan/sector_reader.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

struct TiffCells {
  // Ends of the last strip, the JPEG and the last tile of the IFD walked last
  // at the top level [0..2] and of the SubIFD walked last [3..5].
  uint32_t ends[6] = {};
  uint32_t valuesEnd = 0;  // furthest out-of-line tag value of any walked IFD
  FileTypeMask type = FT_TIF;
  uint32_t next = 0;
};

class TiffWalker {
 public:
  TiffWalker(int fd, uint64_t start, bool bigEndian) : fd_(fd), start_(start), be_(bigEndian) {}

  // Walks the IFD that starts at byte `ifd` of `bytes`. Returns its size.
  uint32_t WalkIfd(const ByteView& bytes, uint32_t ifd, bool subLevel, int depth, TiffCells& cells) {
    uint16_t count = 0;
    if (!bytes.u16(ifd, be_, count) || count > kMaxIfdEntries) return 2;
    uint32_t strips = 0, jpeg = 0, tiles = 0;
    uint32_t* cell = cells.ends + (subLevel ? 3 : 0);
    for (int i = 0; i < count; ++i) {
      TiffEntry e;
      if (!ReadTiffEntry(bytes, ifd, i, be_, e)) break;
      NoteValuesEnd(e, cells);
      switch (e.tag) {
        case 273: case 279:
          strips += e.count == 1 ? e.value : LastArrayValue(e);
          cell[0] = strips;
          break;
        case 513: case 514:
          jpeg += e.value;
          cell[1] = jpeg;
          break;
        case 324: case 325:
          tiles += e.count == 1 ? e.value : LastArrayValue(e);
          cell[2] = tiles;
          break;
        case 330:
          WalkSubIfds(e, depth, cells);
          break;
        case 50706:
          cells.type = FT_DNG;
          break;
        default:
          break;
      }
    }
    // A next-IFD offset past the bytes read ends the chain.
    uint32_t next = 0;
    bytes.u32(ifd + 2 + size_t(count) * 12, be_, next);
    if (!subLevel) cells.next = next;
    return 2 + 12u * count;
  }

 private:
  // The last element of a strip or tile array: inline when it fits in the
  // entry, else read from the device.
  uint32_t LastArrayValue(const TiffEntry& e) {
    if (e.count == 0) return 0;
    const uint32_t size = e.fieldType == 3 ? 2 : 4;
    if (uint64_t{e.count} * size <= 4) {
      uint8_t raw[4];
      if (be_) {
        raw[0] = uint8_t(e.value >> 24); raw[1] = uint8_t(e.value >> 16);
        raw[2] = uint8_t(e.value >> 8); raw[3] = uint8_t(e.value);
      } else {
        raw[0] = uint8_t(e.value); raw[1] = uint8_t(e.value >> 8);
        raw[2] = uint8_t(e.value >> 16); raw[3] = uint8_t(e.value >> 24);
      }
      uint16_t v = 0;
      ByteView(raw, 4).u16((e.count - 1) * 2, be_, v);
      return size == 2 ? v : e.value;
    }
    const uint64_t at = uint64_t{e.value} + uint64_t{e.count - 1} * size;
    uint8_t buf[2 * kSectorSize];
    // An element may straddle two sectors.
    const uint32_t sectors = at % kSectorSize + size > kSectorSize ? 2 : 1;
    if (!ReadSectors(fd_, start_ + at / kSectorSize, sectors, kSectorSize, buf)) return 0;
    ByteView view(buf, sectors * kSectorSize);
    if (size == 2) {
      uint16_t v = 0;
      view.u16(at % kSectorSize, be_, v);
      return v;
    }
    uint32_t v = 0;
    view.u32(at % kSectorSize, be_, v);
    return v;
  }

  static void NoteValuesEnd(const TiffEntry& e, TiffCells& cells) {
    if (!TiffValuesOutOfLine(e)) return;
    const uint64_t end = uint64_t{e.value} + uint64_t{e.count} * TiffTypeSize(e.fieldType);
    // Ends beyond the 31-bit range are garbage, as for every other cell.
    if (end <= 0x7FFFFFFF && end > cells.valuesEnd) cells.valuesEnd = static_cast<uint32_t>(end);
  }

  void WalkSubIfds(const TiffEntry& e, int depth, TiffCells& cells) {
    if (depth >= kMaxSubIfdDepth) return;
    for (uint32_t offset : SubIfdOffsets(fd_, start_, e, be_)) WalkSubIfdAt(offset, depth, cells);
  }

  void WalkSubIfdAt(uint32_t offset, int depth, TiffCells& cells) {
    const uint64_t sector = start_ + offset / kSectorSize;
    uint8_t buf[kIfdReadSectors * kSectorSize];
    const uint32_t n = IfdSectorsToRead(sector, ReadLimit());
    if (!ReadSectors(fd_, sector, n, kSectorSize, buf)) return;
    WalkIfd(ByteView(buf, n * kSectorSize), offset % kSectorSize, true, depth + 1, cells);
  }

  int fd_;
  uint64_t start_;
  bool be_;
};

// IFD0's Make names the maker whose RAW files share the plain TIFF header.
FileTypeMask TypeFromMake(const ByteView& bytes, uint32_t ifd, bool be, uint32_t bufferBase,
                          FileTypeMask type) {
  uint16_t count = 0;
  if (!bytes.u16(ifd, be, count)) return type;
  for (int i = 0; i < count; ++i) {
    TiffEntry e;
    if (!ReadTiffEntry(bytes, ifd, i, be, e)) break;
    if (e.tag != 271 || e.value < bufferBase) continue;
    const size_t at = e.value - bufferBase;
    if (bytes.equals(at, "NIKON", 5)) type = FT_NEF;
    else if (bytes.equals(at, "PENTAX", 6)) type = FT_PEF;
    else if (bytes.equals(at, "SONY", 4)) type = FT_ARW;
    else if (bytes.equals(at, "SAMSUNG", 7)) type = FT_SRW;
  }
  return type;
}

}  // namespace

uint32_t WalkTiff(int handle, uint64_t startSector, FileTypeMask& type) {
  uint8_t head[kSectorSize];
  if (!ReadSectors(handle, startSector, 1, kSectorSize, head)) return 0;
  const bool be = head[0] == 'M' && head[1] == 'M';
  const ByteView headView(head, sizeof head);
  uint32_t ifdOffset = 0;
  headView.u32(4, be, ifdOffset);

  TiffWalker walker(handle, startSector, be);
  TiffCells cells;
  if (headView.equals(8, "CR", 2) && head[10] == 2) cells.type = FT_CR2;
  if (headView.equals(0, "IIRO", 4)) cells.type = FT_ORF;
  if (headView.equals(0, "IIU\0", 4)) cells.type = FT_RW2;

  int32_t length = 0;
  std::vector<uint32_t> visited;
  uint8_t buf[kIfdReadSectors * kSectorSize];
  for (int n = 0; n < kMaxIfdChain; ++n) {
    const uint64_t sector = startSector + ifdOffset / kSectorSize;
    const uint32_t sectors = IfdSectorsToRead(sector, ReadLimit());
    // A failed read ends the chain with the length found so far.
    if (!ReadSectors(handle, sector, sectors, kSectorSize, buf)) break;
    const ByteView bytes(buf, sectors * kSectorSize);
    const uint32_t at = ifdOffset % kSectorSize;
    if (n == 0) {
      uint16_t count = 0;
      if (!bytes.u16(at, be, count) || count > kMaxIfdEntries) return 0;
      cells.type = TypeFromMake(bytes, at, be, ifdOffset - at, cells.type);
    }
    visited.push_back(ifdOffset);
    const uint32_t size = walker.WalkIfd(bytes, at, false, 0, cells);
    length = std::max({length, static_cast<int32_t>(ifdOffset + size), static_cast<int32_t>(cells.valuesEnd)});
    for (uint32_t end : cells.ends) length = std::max(length, static_cast<int32_t>(end));
    const uint32_t next = cells.next;
    if (next == 0 || std::find(visited.begin(), visited.end(), next) != visited.end()) break;
    ifdOffset = next;
  }
  type = cells.type;
  return static_cast<uint32_t>(length);
}

namespace {

bool TiffSignature(const uint8_t* s) {
  return std::memcmp(s, "II*\0", 4) == 0 || std::memcmp(s, "MM\0*", 4) == 0 || std::memcmp(s, "IIRO", 4) == 0 ||
         std::memcmp(s, "IIU\0", 4) == 0;
}

uint64_t TiffExtent(ScanContext& context, uint64_t startSector, FileTypeMask& type) {
  return WalkTiff(context.ScannedHandle(), startSector, type);
}

// Panasonic RAW headers understate the file: below 10,000,000 bytes the file
// runs on until a signature past that point closes it, at most 40,000,000.
constexpr uint64_t kRw2MinimumLength = 10000000;
constexpr uint64_t kRw2MaximumLength = 40000000;

}  // namespace

// The TIFF walk re-types a TIFF to the RAW type its header or Make names, so
// the test runs when any of them is enabled.
extern const FileFormat kTiffFormat{.type = FT_TIF, .extension = "TIF", .description = 61234,
                                    .group = TypeGroup::kPicture, .signature = TiffSignature,
                                    .enabledBy = kTiffFamily, .firstBytes = "IM", .extent = TiffExtent};
extern const FileFormat kCr2Format{.type = FT_CR2, .extension = "CR2", .description = 61241, .group = TypeGroup::kRaw};
extern const FileFormat kNefFormat{.type = FT_NEF, .extension = "NEF", .description = 61242, .group = TypeGroup::kRaw};
extern const FileFormat kPefFormat{.type = FT_PEF, .extension = "PEF", .description = 61243, .group = TypeGroup::kRaw};
extern const FileFormat kOrfFormat{.type = FT_ORF, .extension = "ORF", .description = 61244, .group = TypeGroup::kRaw};
extern const FileFormat kDngFormat{.type = FT_DNG, .extension = "DNG", .description = 61245, .group = TypeGroup::kRaw};
extern const FileFormat kArwFormat{.type = FT_ARW, .extension = "ARW", .description = 61246, .group = TypeGroup::kRaw};
extern const FileFormat kRw2Format{.type = FT_RW2, .extension = "RW2", .description = 61247, .group = TypeGroup::kRaw,
                                   .signaturesIgnoredBelow = kRw2MinimumLength, .minimumLength = kRw2MinimumLength,
                                   .maximumLength = kRw2MaximumLength};
extern const FileFormat kSrwFormat{.type = FT_SRW, .extension = "SRW", .description = 61248, .group = TypeGroup::kRaw};

}  // namespace lumicarve
