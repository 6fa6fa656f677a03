// HEIF (HEIC, AVIF) and CR3: ISO base media files told apart by the brands of
// their leading ftyp box (the major brand at offset 8, compatible brands from
// offset 16 to the box's end). Their top level holds boxes a QuickTime walk
// does not know (meta, uuid, idat ...). The length is the end of the unbroken
// chain of top-level boxes, or the end of the furthest item extent the meta
// box's iloc lists when that lies further: an image's data may be placed
// after the boxes.
#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "scan/byte_view.h"
#include "scan/extent.h"
#include "scan/formats/registry.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

// The bytes read for the ftyp and meta boxes at the file's start.
constexpr uint32_t kHeadSectors = 64;

bool HasBrand(const uint8_t* s, std::initializer_list<const char*> brands) {
  if (std::memcmp(s + 4, "ftyp", 4) != 0) return false;
  const uint32_t size = uint32_t{s[0]} << 24 | uint32_t{s[1]} << 16 | uint32_t{s[2]} << 8 | s[3];
  const uint32_t end = std::min<uint32_t>(size, 512);
  for (uint32_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4)
    for (const char* brand : brands)
      if (std::memcmp(s + at, brand, 4) == 0) return true;
  return false;
}

bool IsAvif(const uint8_t* s) { return HasBrand(s, {"avif", "avis"}); }
bool IsHeic(const uint8_t* s) {
  return HasBrand(s, {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"});
}
bool IsCr3(const uint8_t* s) { return HasBrand(s, {"crx "}); }

bool IsIsoBox(const ByteView& v, size_t at) {
  static constexpr const char* kBoxes[] = {"ftyp", "meta", "moov", "mdat", "free", "skip", "uuid",
                                           "idat", "iinf", "iloc", "wide", "pnot", "moof", "mfra"};
  for (const char* box : kBoxes)
    if (v.equals(at + 4, box, 4)) return true;
  return false;
}

// Reads a big-endian field of 0, 4 or 8 bytes.
bool Field(const ByteView& v, size_t at, unsigned size, uint64_t& value) {
  value = 0;
  if (size == 0) return true;
  if (size == 4) {
    uint32_t v32 = 0;
    if (!v.u32be(at, v32)) return false;
    value = v32;
    return true;
  }
  return size == 8 && v.u64be(at, value);
}

// The furthest end of an item extent stored by file offset in the iloc box
// whose payload (after its 8-byte header) is `v`; 0 when none can be read.
uint64_t IlocEnd(const ByteView& v) {
  uint8_t version = 0, sizes = 0, sizes2 = 0;
  if (!v.u8(0, version) || version > 2 || !v.u8(4, sizes) || !v.u8(5, sizes2)) return 0;
  const unsigned offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = sizes2 >> 4;
  const unsigned indexSize = version ? sizes2 & 15 : 0;
  size_t at = 6;
  uint32_t items = 0;
  if (version < 2) {
    uint16_t n = 0;
    if (!v.u16be(at, n)) return 0;
    items = n;
    at += 2;
  } else if (!v.u32be(at, items)) {
    return 0;
  } else {
    at += 4;
  }
  uint64_t end = 0;
  for (uint32_t i = 0; i < items; ++i) {
    at += version < 2 ? 2 : 4;  // item ID
    uint16_t method = 0;
    if (version && !v.u16be(at, method)) return end;
    if (version) at += 2;
    at += 2;  // data reference index
    uint64_t base = 0;
    uint16_t extents = 0;
    if (!Field(v, at, baseSize, base) || !v.u16be(at + baseSize, extents)) return end;
    at += baseSize + 2;
    for (uint16_t e = 0; e < extents; ++e) {
      at += indexSize;
      uint64_t offset = 0, length = 0;
      if (!Field(v, at, offsetSize, offset) || !Field(v, at + offsetSize, lengthSize, length)) return end;
      at += offsetSize + lengthSize;
      // Only extents stored by file offset (construction method 0) lie in the file.
      if ((method & 15) == 0 && base < (uint64_t{1} << 40) && offset < (uint64_t{1} << 40) &&
          length < (uint64_t{1} << 40))
        end = std::max(end, base + offset + length);
    }
  }
  return end;
}

// The iloc end of the meta box among the top-level boxes of `head`.
uint64_t MetaItemsEnd(const ByteView& head) {
  size_t at = 0;
  uint32_t size = 0;
  while (head.u32be(at, size) && size >= 8) {
    if (head.equals(at + 4, "meta", 4)) {
      // A full box: version and flags, then its children.
      const ByteView meta = head.slice(at, std::min<size_t>(size, head.size() - at));
      size_t child = 12;
      uint32_t childSize = 0;
      while (meta.u32be(child, childSize) && childSize >= 8) {
        if (meta.equals(child + 4, "iloc", 4))
          return IlocEnd(meta.slice(child + 8, std::min<size_t>(childSize - 8, meta.size() - child - 8)));
        child += childSize;
      }
      return 0;
    }
    at += size;
  }
  return 0;
}

Extent IsoMediaExtent(ScanContext& context, uint64_t startSector, FileTypeMask&) {
  const Extent walked = AtomWalkExtent(context, startSector, IsIsoBox);
  if (walked.kind == Extent::Kind::kOpenEnded) return walked;
  const uint64_t left = context.ScannedSectors() > startSector ? context.ScannedSectors() - startSector : 0;
  const uint32_t sectors = static_cast<uint32_t>(std::min<uint64_t>(kHeadSectors, left));
  static thread_local uint8_t head[kHeadSectors * kSectorSize];
  if (sectors == 0 || !ReadSectors(context.ScannedHandle(), startSector, sectors, kSectorSize, head)) return walked;
  return Extent::Claim(std::max(walked.length, MetaItemsEnd(ByteView(head, sectors * kSectorSize))));
}

constexpr std::string_view kBoxFirstByte("\0", 1);

}  // namespace

// AVIF before HEIC: an AVIF file also lists the general "mif1" brand. Each
// owns its brands, so neither is ever taken for a QuickTime file.
extern const FileFormat kAvifFormat{.type = FT_AVIF, .extension = "AVIF", .description = 61401,
                                    .group = TypeGroup::kPicture, .signature = IsAvif, .ownsSignature = true,
                                    .firstBytes = kBoxFirstByte, .extent = IsoMediaExtent};
extern const FileFormat kHeicFormat{.type = FT_HEIC, .extension = "HEIC", .description = 61400,
                                    .group = TypeGroup::kPicture, .signature = IsHeic, .ownsSignature = true,
                                    .firstBytes = kBoxFirstByte, .extent = IsoMediaExtent};
extern const FileFormat kCr3Format{.type = FT_CR3, .extension = "CR3", .description = 61405,
                                   .group = TypeGroup::kRaw, .signature = IsCr3, .ownsSignature = true,
                                   .firstBytes = kBoxFirstByte, .extent = IsoMediaExtent};

}  // namespace lumicarve
