// Bytes read: the JPEG marker segments from SOI up to the first APP1 that
// begins "Exif\0\0"; inside it the TIFF header, IFD0's pointer to the EXIF
// IFD (tag 34665), and that IFD's DateTimeOriginal (tag 36867, ASCII).
#include "recovery/jpeg_exif_date.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "scan/byte_view.h"
#include "scan/formats/ifd_visitor.h"
#include "scan/raw_preview.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

// An APP1 segment holds at most 64 KB; it follows SOI and perhaps a JFIF
// APP0, so the first 128 sectors always contain it whole.
constexpr uint32_t kHeadSectors = 132;
constexpr uint16_t kExifIfdTag = 34665;
constexpr uint16_t kDateTimeOriginalTag = 36867;

// Only IFD0's pointer to the EXIF IFD is followed, and there only the date.
class OriginalDate : public IfdVisitor::Handler {
 public:
  OriginalDate(const ByteView& tiff, uint64_t& filetime) : tiff_(tiff), filetime_(filetime) {}

  void Entry(IfdVisitor& walk, const IfdPlace& place, const TiffEntry& e) override {
    if (place.kind == IfdKind::kChain && place.chainIndex == 0 && e.tag == kExifIfdTag && !exifSeen_) {
      exifSeen_ = true;
      walk.WalkBelow(place, IfdKind::kExif, e.value, *this);
    } else if (place.kind == IfdKind::kExif && e.tag == kDateTimeOriginalTag && !dateSeen_) {
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

bool DateFromTiff(const ByteView& tiff, uint64_t& filetime) {
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

}  // namespace

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
      return DateFromTiff(segment.slice(6, segment.size() - 6), filetime);
    at += 2 + size_t{length};
  }
  return false;
}

bool DateJpegFromExif(int deviceFd, FoundFile& file) {
  if (file.type != FT_JPG || file.length == 0) return false;
  const uint64_t wanted = (file.length + kSectorSize - 1) / kSectorSize;
  const uint32_t sectors = wanted < kHeadSectors ? static_cast<uint32_t>(wanted) : kHeadSectors;
  std::vector<uint8_t> head(size_t{sectors} * kSectorSize);
  if (!ReadSectors(deviceFd, file.startSector, sectors, kSectorSize, head.data())) return false;
  const size_t size = file.length < head.size() ? static_cast<size_t>(file.length) : head.size();
  uint64_t date = 0;
  if (!JpegExifDate(head.data(), size, date)) return false;
  file.date = date;
  return true;
}

bool DateJpegFromPath(const std::string& path, FoundFile& file) {
  if (file.type != FT_JPG) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  std::vector<uint8_t> head(size_t{kHeadSectors} * kSectorSize);
  size_t size = 0;
  while (size < head.size()) {
    const ssize_t n = ::pread(fd, head.data() + size, head.size() - size, static_cast<off_t>(size));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    size += static_cast<size_t>(n);
  }
  ::close(fd);
  uint64_t date = 0;
  if (!JpegExifDate(head.data(), size, date)) return false;
  file.date = date;
  return true;
}

}  // namespace lumicarve
