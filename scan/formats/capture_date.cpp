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

bool TiffExifDate(const ByteView& tiff, uint64_t& filetime) {
  uint16_t order = 0, magic = 0;
  uint32_t ifd0 = 0;
  if (!tiff.u16le(0, order) || (order != 0x4949 && order != 0x4D4D)) return false;
  const bool be = order == 0x4D4D;
  if (!tiff.u16(2, be, magic) || magic != 42 || !tiff.u32(4, be, ifd0)) return false;
  OriginalDate rule(tiff, filetime);
  IfdVisitor walk(tiff, be);
  // IFD0 alone: the chain after it holds the thumbnail, never the date.
  walk.WalkChain(ifd0, rule, 1);
  return rule.found();
}

bool JpegExifDate(const uint8_t* bytes, size_t size, uint64_t& filetime) {
  const ByteView jpeg(bytes, size);
  uint16_t marker = 0;
  if (!jpeg.u16be(0, marker) || marker != 0xFFD8) return false;
  size_t at = 2;
  while (jpeg.u16be(at, marker) && (marker & 0xFF00) == 0xFF00) {
    // Start of scan or a segment without a length: the metadata is over.
    if (marker == 0xFFDA || marker == 0xFFD9 || (marker >= 0xFFD0 && marker <= 0xFFD7)) return false;
    uint16_t length = 0;
    if (!jpeg.u16be(at + 2, length) || length < 2) return false;
    const ByteView segment = jpeg.slice(at + 4, length - 2u);
    if (marker == 0xFFE1 && segment.equals(0, "Exif\0\0", 6))
      return TiffExifDate(segment.slice(6, segment.size() - 6), filetime);
    at += 2 + size_t{length};
  }
  return false;
}

}  // namespace lumicarve
