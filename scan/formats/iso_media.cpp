// HEIF (HEIC, AVIF) and CR3: ISO base media files told apart by the brands of
// their leading ftyp box (the major brand at offset 8, compatible brands from
// offset 16 to the box's end). Their top level holds boxes a QuickTime walk
// does not know (meta, uuid, idat ...). The length is the end of the unbroken
// chain of top-level boxes, or the end of the furthest item extent the meta
// box's iloc lists when that lies further: an image's data may be placed
// after the boxes. A HEIF is dated from its EXIF item, a CR3 from the EXIF
// IFD its maker's uuid box in moov holds.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "scan/byte_view.h"
#include "scan/extent.h"
#include "scan/formats/capture_date.h"
#include "scan/formats/registry.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

// The bytes read for the ftyp and meta boxes at the file's start.
constexpr uint32_t kHeadSectors = 64;

bool HasBrand(const ByteView& s, std::initializer_list<const char*> brands) {
  uint32_t size = 0;
  if (!s.equals(4, "ftyp", 4) || !s.u32be(0, size)) return false;
  const uint32_t end = std::min<uint32_t>(size, 512);
  for (uint32_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4)
    for (const char* brand : brands)
      if (s.equals(at, brand, 4)) return true;
  return false;
}

bool IsAvif(const ByteView& s) { return HasBrand(s, {"avif", "avis"}); }
bool IsHeic(const ByteView& s) {
  return HasBrand(s, {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"});
}
bool IsCr3(const ByteView& s) { return HasBrand(s, {"crx "}); }

bool IsIsoBox(const ByteView& v, size_t at) {
  static constexpr const char* kBoxes[] = {"ftyp", "meta", "moov", "mdat", "free", "skip", "uuid",
                                           "idat", "iinf", "iloc", "wide", "pnot", "moof", "mfra"};
  for (const char* box : kBoxes)
    if (v.equals(at + 4, box, 4)) return true;
  return false;
}

// Reads a big-endian field of 0, 2, 4 or 8 bytes.
bool Field(const ByteView& v, size_t at, unsigned size, uint64_t& value) {
  value = 0;
  if (size == 0) return true;
  if (size == 2) {
    uint16_t v16 = 0;
    if (!v.u16be(at, v16)) return false;
    value = v16;
    return true;
  }
  if (size == 4) {
    uint32_t v32 = 0;
    if (!v.u32be(at, v32)) return false;
    value = v32;
    return true;
  }
  return size == 8 && v.u64be(at, value);
}

struct ItemExtent {
  uint32_t item = 0;
  unsigned method = 0;  // 0: by file offset
  uint64_t offset = 0;  // base offset plus extent offset
  uint64_t length = 0;
};

// Calls `each` for every extent the iloc box whose payload (after its 8-byte
// header) is `v` lists, in order, until it returns false or the box's bytes
// end, at most 65,536 of them (extents of zero-size fields take no bytes).
// Offsets and lengths past 2^40 are never passed on.
template <typename Each>
void ForEachItemExtent(const ByteView& v, Each each) {
  uint8_t version = 0, sizes = 0, sizes2 = 0;
  if (!v.u8(0, version) || version > 2 || !v.u8(4, sizes) || !v.u8(5, sizes2)) return;
  const unsigned offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = sizes2 >> 4;
  const unsigned indexSize = version ? sizes2 & 15 : 0;
  const unsigned idSize = version < 2 ? 2 : 4;
  size_t at = 6;
  uint64_t items = 0;
  if (!Field(v, at, idSize, items)) return;
  at += idSize;
  int budget = 1 << 16;
  for (uint64_t i = 0; i < items; ++i) {
    uint64_t id = 0;
    if (!Field(v, at, idSize, id)) return;
    at += idSize;
    uint16_t method = 0;
    if (version && !v.u16be(at, method)) return;
    if (version) at += 2;
    at += 2;  // data reference index
    uint64_t base = 0;
    uint16_t extents = 0;
    if (!Field(v, at, baseSize, base) || !v.u16be(at + baseSize, extents)) return;
    at += baseSize + 2;
    for (uint16_t e = 0; e < extents; ++e) {
      if (--budget < 0) return;
      at += indexSize;
      uint64_t offset = 0, length = 0;
      if (!Field(v, at, offsetSize, offset) || !Field(v, at + offsetSize, lengthSize, length)) return;
      at += offsetSize + lengthSize;
      constexpr uint64_t kLimit = uint64_t{1} << 40;
      if (base < kLimit && offset < kLimit && length < kLimit &&
          !each(ItemExtent{static_cast<uint32_t>(id), method & 15u, base + offset, length}))
        return;
    }
  }
}

// The box of `type` among the boxes laid end to end in `v` from `from`: its
// bytes, cut at the end of `v`.
ByteView BoxIn(const ByteView& v, size_t from, const char* type) {
  size_t at = from;
  uint32_t size = 0;
  while (v.u32be(at, size) && size >= 8) {
    if (v.equals(at + 4, type, 4)) return v.slice(at, std::min<size_t>(size, v.size() - at));
    at += size;
  }
  return {};
}

// The payload of a box of `type` that is a child of the full box `parent`
// (after the parent's header, version and flags).
ByteView FullBoxChild(const ByteView& parent, const char* type) {
  const ByteView box = BoxIn(parent, 12, type);
  return box.slice(8, box.size() >= 8 ? box.size() - 8 : 0);
}

// The furthest end of an item extent stored by file offset among the boxes
// at the start of a file (`head`); 0 when none can be read.
uint64_t MetaItemsEnd(const ByteView& head) {
  uint64_t end = 0;
  ForEachItemExtent(FullBoxChild(BoxIn(head, 0, "meta"), "iloc"), [&end](const ItemExtent& e) {
    if (e.method == 0) end = std::max(end, e.offset + e.length);
    return true;
  });
  return end;
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

// The ID of the first item of type "Exif" the iinf payload `v` lists.
bool ExifItem(const ByteView& v, uint32_t& id) {
  uint8_t version = 0;
  if (!v.u8(0, version)) return false;
  size_t at = version == 0 ? 6 : 8;  // version, flags and the entry count
  uint32_t size = 0;
  while (v.u32be(at, size) && size >= 8) {
    // An infe of version 2 or 3 holds the ID (16 or 32 bits), a protection
    // index and the item type.
    const ByteView infe = v.slice(at, std::min<size_t>(size, v.size() - at));
    uint8_t infeVersion = 0;
    uint64_t item = 0;
    if (infe.equals(4, "infe", 4) && infe.u8(8, infeVersion) && infeVersion >= 2) {
      const unsigned idSize = infeVersion == 2 ? 2 : 4;
      if (Field(infe, 12, idSize, item) && infe.equals(12 + idSize + 2, "Exif", 4)) {
        id = static_cast<uint32_t>(item);
        return true;
      }
    }
    at += size;
  }
  return false;
}

// A HEIF image's date: the DateTimeOriginal of the EXIF item the meta box's
// iinf names and its iloc places by file offset. The item opens with the
// 4-byte offset of its TIFF header, counted after that field.
bool HeifDate(int handle, const FoundFile& file, uint64_t& filetime) {
  std::vector<uint8_t> head(std::min<uint64_t>(size_t{kHeadSectors} * kSectorSize, file.length));
  if (!ReadFileBytes(handle, file, 0, head.size(), head.data())) return false;
  const ByteView meta = BoxIn(ByteView(head.data(), head.size()), 0, "meta");
  uint32_t id = 0;
  if (!ExifItem(FullBoxChild(meta, "iinf"), id)) return false;
  ItemExtent exif;
  bool found = false;
  ForEachItemExtent(FullBoxChild(meta, "iloc"), [&](const ItemExtent& e) {
    found = e.item == id;
    if (found) exif = e;
    return !found;
  });
  if (!found || exif.method != 0 || exif.offset >= file.length) return false;
  const uint64_t start = exif.offset;
  // A length of 0 runs to the end of the file.
  const uint64_t length = exif.length ? exif.length : file.length - start;
  std::vector<uint8_t> item(std::min<uint64_t>(length, kMaxMetadataBytes));
  if (!ReadFileBytes(handle, file, start, item.size(), item.data())) return false;
  const ByteView v(item.data(), item.size());
  uint32_t skip = 0;
  if (!v.u32be(0, skip) || skip > item.size() - 4) return false;
  return TiffExifDate(v.slice(4 + skip, item.size() - 4 - skip), filetime);
}

// A CR3's date: the DateTimeOriginal of the EXIF IFD that the CMT2 box of
// the maker's uuid box in moov stores alone as a TIFF structure.
bool Cr3Date(int handle, const FoundFile& file, uint64_t& filetime) {
  static constexpr uint8_t kMakerUuid[16] = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0,
                                             0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};
  uint64_t moov = 0, moovEnd = 0, body = 0, bodyEnd = 0;
  if (!FindBox(handle, file, 0, file.length, "moov", moov, moovEnd)) return false;
  uint64_t at = moov;
  for (int n = 0; n < 16 && FindBox(handle, file, at, moovEnd, "uuid", body, bodyEnd); ++n, at = bodyEnd) {
    uint8_t uuid[16];
    if (!ReadFileBytes(handle, file, body, sizeof uuid, uuid)) return false;
    if (std::memcmp(uuid, kMakerUuid, sizeof uuid) != 0) continue;
    uint64_t cmt = 0, cmtEnd = 0;
    if (!FindBox(handle, file, body + sizeof uuid, bodyEnd, "CMT2", cmt, cmtEnd)) return false;
    std::vector<uint8_t> tiff(std::min<uint64_t>(cmtEnd - cmt, kMaxMetadataBytes));
    return ReadFileBytes(handle, file, cmt, tiff.size(), tiff.data()) &&
           TiffExifDate(ByteView(tiff.data(), tiff.size()), filetime);
  }
  return false;
}

constexpr std::string_view kBoxFirstByte("\0", 1);

}  // namespace

// AVIF before HEIC: an AVIF file also lists the general "mif1" brand. Each
// owns its brands, so neither is ever taken for a QuickTime file.
extern const FileFormat kAvifFormat{.type = FT_AVIF, .extension = "AVIF", .description = 61401,
                                    .group = TypeGroup::kPicture, .signature = IsAvif, .ownsSignature = true,
                                    .firstBytes = kBoxFirstByte, .extent = IsoMediaExtent, .captureDate = HeifDate};
extern const FileFormat kHeicFormat{.type = FT_HEIC, .extension = "HEIC", .description = 61400,
                                    .group = TypeGroup::kPicture, .signature = IsHeic, .ownsSignature = true,
                                    .firstBytes = kBoxFirstByte, .extent = IsoMediaExtent, .captureDate = HeifDate};
extern const FileFormat kCr3Format{.type = FT_CR3, .extension = "CR3", .description = 61405,
                                   .group = TypeGroup::kRaw, .signature = IsCr3, .ownsSignature = true,
                                   .firstBytes = kBoxFirstByte, .extent = IsoMediaExtent, .captureDate = Cr3Date};

}  // namespace lumicarve
