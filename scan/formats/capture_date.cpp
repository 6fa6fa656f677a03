// Bytes read: for a JPEG, the marker segments from SOI up to the first APP1
// that begins "Exif\0\0"; in a TIFF structure, IFD0, its pointer to the EXIF
// IFD (tag 34665) and that IFD's DateTimeOriginal (tag 36867, ASCII). Box
// headers are read one at a time, each checked against the file's length.
#include "scan/formats/capture_date.h"

#include <cstring>
#include <vector>

#include "scan/formats/ifd_visitor.h"
#include "scan/raw_preview.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

constexpr int kMaxBoxes = 256;
constexpr uint16_t kExifIfdTag = 34665;
constexpr uint16_t kDateTimeOriginalTag = 36867;

// Only IFD0's pointer to the EXIF IFD is followed, and there only the date.
class OriginalDate : public IfdVisitor::Handler {
 public:
  OriginalDate(const ByteView& tiff, uint64_t& filetime) : tiff_(tiff), filetime_(filetime) {}

  void Entry(IfdVisitor& walk, const IfdPlace& place, const TiffEntry& e) override {
    const bool ifd0 = place.kind == IfdKind::kChain && place.chainIndex == 0;
    if (ifd0 && e.tag == kExifIfdTag && !exifSeen_) {
      exifSeen_ = true;
      walk.WalkBelow(place, IfdKind::kExif, e.value, *this);
    } else if ((ifd0 || place.kind == IfdKind::kExif) && e.tag == kDateTimeOriginalTag && !dateSeen_) {
      dateSeen_ = true;
      if (e.fieldType != 2 || e.count < 19) return;
      const ByteView text = tiff_.slice(e.value, e.count);
      found_ = text.size() >= 19 &&
               ParseExifDate(reinterpret_cast<const char*>(text.data()), text.size(), filetime_);
    }
  }

  bool found() const { return found_; }

 private:
  const ByteView& tiff_;
  uint64_t& filetime_;
  bool exifSeen_ = false;
  bool dateSeen_ = false;
  bool found_ = false;
};

}  // namespace

bool ReadFileBytes(int handle, const FoundFile& file, uint64_t offset, size_t n, uint8_t* out) {
  if (offset > file.length || n > file.length - offset || n > kMaxMetadataBytes + kSectorSize) return false;
  if (n == 0) return true;
  const size_t skip = static_cast<size_t>(offset % kSectorSize);
  const size_t sectors = (skip + n + kSectorSize - 1) / kSectorSize;
  uint8_t small[2 * kSectorSize];
  std::vector<uint8_t> large;
  uint8_t* buf = small;
  if (sectors > 2) {
    large.resize(sectors * kSectorSize);
    buf = large.data();
  }
  if (!ReadSectors(handle, file.startSector + offset / kSectorSize, static_cast<uint32_t>(sectors), kSectorSize,
                   buf))
    return false;
  std::memcpy(out, buf + skip, n);
  return true;
}

std::optional<ByteView> ReadFileHead(int handle, const FoundFile& file, uint64_t offset, uint64_t end, size_t least,
                                     size_t most, uint8_t* out) {
  const size_t n = end - offset >= most ? most : least;
  if (!ReadFileBytes(handle, file, offset, n, out)) return std::nullopt;
  return ByteView(out, n);
}

bool FindBox(int handle, const FoundFile& file, uint64_t begin, uint64_t end, const char* type, uint64_t& body,
             uint64_t& bodyEnd) {
  uint64_t at = begin;
  for (int n = 0; n < kMaxBoxes && at < end && end - at >= 8; ++n) {
    uint8_t head[16];
    const std::optional<ByteView> read = ReadFileHead(handle, file, at, end, 8, sizeof head, head);
    if (!read) return false;
    const ByteView& v = *read;
    uint32_t size32 = 0;
    v.u32be(0, size32);
    uint64_t size = size32, header = 8;
    if (size32 == 1) {
      if (!v.u64be(8, size)) return false;
      header = 16;
    } else if (size32 == 0) {
      size = end - at;
    }
    if (size < header || size > end - at) return false;
    if (v.equals(4, type, 4)) {
      body = at + header;
      bodyEnd = at + size;
      return true;
    }
    at += size;
  }
  return false;
}

namespace {

// The byte order and IFD0 offset of a TIFF header; false when it is not one.
bool ReadTiffHeader(const ByteView& tiff, bool& be, uint32_t& ifd0) {
  uint16_t order = 0, magic = 0;
  if (!tiff.u16le(0, order) || (order != 0x4949 && order != 0x4D4D)) return false;
  be = order == 0x4D4D;
  return tiff.u16(2, be, magic) && magic == 42 && tiff.u32(4, be, ifd0);
}

}  // namespace

bool TiffExifDate(const ByteView& tiff, uint64_t& filetime) {
  bool be = false;
  uint32_t ifd0 = 0;
  if (!ReadTiffHeader(tiff, be, ifd0)) return false;
  OriginalDate rule(tiff, filetime);
  IfdVisitor walk(tiff, be);
  // IFD0 alone: the chain after it holds the thumbnail, never the date.
  walk.WalkChain(ifd0, rule, 1);
  return rule.found();
}

namespace {

// The TIFF structure of the first EXIF block among a JPEG's leading bytes.
std::optional<ByteView> JpegExifTiff(const ByteView& jpeg) {
  uint16_t marker = 0;
  if (!jpeg.u16be(0, marker) || marker != 0xFFD8) return std::nullopt;
  size_t at = 2;
  while (jpeg.u16be(at, marker) && (marker & 0xFF00) == 0xFF00) {
    // Start of scan or a segment without a length: the metadata is over.
    if (marker == 0xFFDA || marker == 0xFFD9 || (marker >= 0xFFD0 && marker <= 0xFFD7)) return std::nullopt;
    uint16_t length = 0;
    if (!jpeg.u16be(at + 2, length) || length < 2) return std::nullopt;
    const ByteView segment = jpeg.slice(at + 4, length - 2u);
    if (marker == 0xFFE1 && segment.equals(0, "Exif\0\0", 6)) return segment.slice(6, segment.size() - 6);
    at += 2 + size_t{length};
  }
  return std::nullopt;
}

// The JPEGInterchangeFormat (513) and its length (514) in IFD1, the IFD that
// follows IFD0 in an EXIF block and describes its thumbnail.
class ThumbnailPlace : public IfdVisitor::Handler {
 public:
  void Entry(IfdVisitor&, const IfdPlace& place, const TiffEntry& e) override {
    if (place.kind != IfdKind::kChain || place.chainIndex != 1) return;
    if (e.tag == 513) offset = e.value;
    if (e.tag == 514) length = e.value;
  }
  uint32_t offset = 0, length = 0;
};

}  // namespace

bool JpegExifDate(const uint8_t* bytes, size_t size, uint64_t& filetime) {
  const std::optional<ByteView> tiff = JpegExifTiff(ByteView(bytes, size));
  return tiff && TiffExifDate(*tiff, filetime);
}

bool JpegExifThumbnail(const uint8_t* bytes, size_t size, size_t& offset, size_t& length) {
  const std::optional<ByteView> tiff = JpegExifTiff(ByteView(bytes, size));
  bool be = false;
  uint32_t ifd0 = 0;
  if (!tiff || !ReadTiffHeader(*tiff, be, ifd0)) return false;
  ThumbnailPlace place;
  IfdVisitor walk(*tiff, be);
  walk.WalkChain(ifd0, place, 2);
  // The thumbnail lies whole inside the block and is a JPEG itself.
  const ByteView thumbnail = tiff->slice(place.offset, place.length);
  uint16_t soi = 0;
  if (place.length < 4 || thumbnail.size() != place.length || !thumbnail.u16be(0, soi) || soi != 0xFFD8) return false;
  offset = static_cast<size_t>(thumbnail.data() - bytes);
  length = thumbnail.size();
  return true;
}

}  // namespace lumicarve
