// TIFF and the TIFF-based RAW formats: the length is the furthest of the IFDs,
// the strips, the tiles, the JPEG of each IFD and the tag values stored outside
// the entries; the header and IFD0's Make (and a DNGVersion tag anywhere) tell
// which camera format the file is. Every offset comes from the device and is
// distrusted; the IFD visitor keeps the walk finite.
#include <algorithm>
#include <cstring>

#include "scan/extent.h"
#include "scan/formats/ifd_visitor.h"
#include "scan/sector_reader.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

class TiffLength : public IfdVisitor::Handler {
 public:
  explicit TiffLength(FileTypeMask headerType) : makeType_(headerType) {}

  void Entry(IfdVisitor& walk, const IfdPlace& place, const TiffEntry& e) override {
    NoteValuesEnd(e);
    Sums& sums = sums_[std::min(place.depth, kMaxSubIfdDepth)];
    // Ends of the last strip, the JPEG and the last tile of the IFD walked
    // last at the top level [0..2] and of the SubIFD walked last [3..5].
    uint32_t* cell = ends_ + (place.kind == IfdKind::kChain ? 0 : 3);
    switch (e.tag) {
      case 271:
        if (place.kind == IfdKind::kChain && place.chainIndex == 0) NoteMake(walk, e);
        break;
      case 273: case 279:
        sums.strips += e.count == 1 ? e.value : walk.LastArrayValue(e);
        cell[0] = sums.strips;
        break;
      case 513: case 514:
        sums.jpeg += e.value;
        cell[1] = sums.jpeg;
        break;
      case 324: case 325:
        sums.tiles += e.count == 1 ? e.value : walk.LastArrayValue(e);
        cell[2] = sums.tiles;
        break;
      case 330:
        walk.WalkSubIfds(place, e, *this);
        break;
      case 50706:
        dng_ = true;
        break;
      default:
        break;
    }
  }

  void IfdDone(const IfdPlace& place, uint16_t count, bool walked) override {
    sums_[std::min(place.depth, kMaxSubIfdDepth)] = Sums{};
    if (place.kind != IfdKind::kChain) return;
    if (!walked && place.chainIndex == 0) {
      badFirstIfd_ = true;
      return;
    }
    // An IFD with too many entries counts as its count field alone; an
    // unreadable one not at all.
    if (!walked && count == 0) return;
    const uint32_t size = walked ? 2 + 12u * count : 2;
    length_ = std::max({length_, static_cast<int32_t>(place.offset + size), static_cast<int32_t>(valuesEnd_)});
    for (uint32_t end : ends_) length_ = std::max(length_, static_cast<int32_t>(end));
  }

  uint32_t length() const { return badFirstIfd_ ? 0 : static_cast<uint32_t>(length_); }
  FileTypeMask type() const { return dng_ ? FT_DNG : makeType_; }

 private:
  struct Sums {
    uint32_t strips = 0, jpeg = 0, tiles = 0;
  };

  void NoteValuesEnd(const TiffEntry& e) {
    if (!TiffValuesOutOfLine(e)) return;
    const uint64_t end = uint64_t{e.value} + uint64_t{e.count} * TiffTypeSize(e.fieldType);
    // Ends beyond the 31-bit range are garbage, as for every other cell.
    if (end <= 0x7FFFFFFF && end > valuesEnd_) valuesEnd_ = static_cast<uint32_t>(end);
  }

  // IFD0's Make names the maker whose RAW files share the plain TIFF header.
  void NoteMake(IfdVisitor& walk, const TiffEntry& e) {
    uint8_t text[7] = {};
    if (!TiffValuesOutOfLine(e) || !walk.ReadBytes(e.value, std::min<uint32_t>(e.count, 7), text)) return;
    const ByteView make(text, sizeof text);
    if (make.equals(0, "NIKON", 5)) makeType_ = FT_NEF;
    else if (make.equals(0, "PENTAX", 6)) makeType_ = FT_PEF;
    else if (make.equals(0, "SONY", 4)) makeType_ = FT_ARW;
    else if (make.equals(0, "SAMSUNG", 7)) makeType_ = FT_SRW;
  }

  uint32_t ends_[6] = {};
  Sums sums_[kMaxSubIfdDepth + 1];
  uint32_t valuesEnd_ = 0;  // furthest out-of-line tag value of any walked IFD
  int32_t length_ = 0;
  FileTypeMask makeType_;
  bool dng_ = false;
  bool badFirstIfd_ = false;
};

Extent TiffExtent(ScanContext& context, uint64_t startSector, FileTypeMask& type) {
  uint8_t head[kSectorSize];
  if (!ReadSectors(context.ScannedHandle(), startSector, 1, kSectorSize, head)) return Extent::Drop();
  const ByteView headView(head, sizeof head);
  const bool be = headView.equals(0, "MM", 2);
  uint32_t ifd0 = 0;
  headView.u32(4, be, ifd0);

  FileTypeMask headerType = FT_TIF;
  if (headView.equals(8, "CR\x02", 3)) headerType = FT_CR2;
  if (headView.equals(0, "IIRO", 4)) headerType = FT_ORF;
  if (headView.equals(0, "IIU\0", 4)) headerType = FT_RW2;

  TiffLength rule(headerType);
  IfdVisitor walk(context.ScannedHandle(), startSector, be, [&context] { return context.Cancelled(); });
  walk.WalkChain(ifd0, rule);
  type = rule.type();
  return Extent::Claim(rule.length());
}

bool TiffSignature(const ByteView& s) {
  return s.equals(0, "II*\0", 4) || s.equals(0, "MM\0*", 4) || s.equals(0, "IIRO", 4) || s.equals(0, "IIU\0", 4);
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
