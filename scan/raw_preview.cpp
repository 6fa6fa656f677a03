// The embedded JPEG preview and the capture date of a TIFF-based RAW file.
// The IFD chain is walked on the device; the last qualifying entry wins
// (entries in IFD order, each SubIFD where its tag stands, then the next IFD),
// and the EXIF IFD's DateTimeOriginal, walked after its parent's DateTime,
// wins over it. Offsets from the device are distrusted as in the length rule.
#include "scan/raw_preview.h"

#include <algorithm>
#include <vector>

#include "scan/filetime.h"
#include "scan/formats/tiff_entry.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

class PreviewWalker {
 public:
  PreviewWalker(int fd, uint64_t start, bool be, PreviewInfo& info)
      : fd_(fd), start_(start), be_(be), info_(info) {}

  // Reads the IFD at file offset `ifdOffset` and walks it. False when it
  // cannot be read.
  bool WalkAt(uint32_t ifdOffset, bool topLevel, int depth) {
    const uint64_t sector = start_ + ifdOffset / kSectorSize;
    const uint32_t n = IfdSectorsToRead(sector, ReadLimit());
    std::vector<uint8_t> buf(size_t{n} * kSectorSize);
    if (!ReadSectors(fd_, sector, n, kSectorSize, buf.data())) return false;
    Walk(ByteView(buf.data(), buf.size()), ifdOffset % kSectorSize, topLevel, depth);
    return true;
  }

 private:
  void Walk(const ByteView& bytes, size_t ifd, bool topLevel, int depth) {
    uint16_t count = 0;
    if (!bytes.u16(ifd, be_, count) || count > kMaxIfdEntries) return;
    bool jpegCompressed = false;
    for (int i = 0; i < count; ++i) {
      TiffEntry e;
      if (!ReadTiffEntry(bytes, ifd, i, be_, e)) break;
      switch (e.tag) {
        case 259: jpegCompressed = e.value == 7; break;
        case 46: case 513: info_.offset = e.value; break;
        case 273: if (jpegCompressed) info_.offset = e.value; break;
        case 514: info_.length = e.value; break;
        case 279: if (jpegCompressed) info_.length = e.value; break;
        case 280: info_.length = uint64_t{e.value} - info_.offset; break;
        case 306: ReadDate(e.value); break;
        case 34665: ReadExifIfd(e.value); break;
        case 330: WalkSubIfds(e, depth); break;
        default: break;
      }
    }
    uint32_t next = 0;
    bytes.u32(ifd + 2 + size_t{count} * 12, be_, next);
    if (topLevel) info_.next = next;
  }

  void WalkSubIfds(const TiffEntry& e, int depth) {
    if (depth >= kMaxSubIfdDepth) return;
    for (uint32_t offset : SubIfdOffsets(fd_, start_, e, be_)) WalkAt(offset, false, depth + 1);
  }

  // The 19-character date text may straddle two sectors.
  void ReadDate(uint32_t at) {
    uint8_t buf[2 * kSectorSize];
    const uint32_t sectors = at % kSectorSize > kSectorSize - 20 ? 2 : 1;
    if (!ReadSectors(fd_, start_ + at / kSectorSize, sectors, kSectorSize, buf)) return;
    const size_t from = at % kSectorSize;
    ParseExifDate(reinterpret_cast<const char*>(buf) + from, sectors * kSectorSize - from, info_.date);
  }

  void ReadExifIfd(uint32_t exifOffset) {
    const uint64_t sector = start_ + exifOffset / kSectorSize;
    const uint32_t n = IfdSectorsToRead(sector, ReadLimit());
    std::vector<uint8_t> buf(size_t{n} * kSectorSize);
    if (!ReadSectors(fd_, sector, n, kSectorSize, buf.data())) return;
    const ByteView bytes(buf.data(), buf.size());
    const size_t ifd = exifOffset % kSectorSize;
    uint16_t count = 0;
    if (!bytes.u16(ifd, be_, count)) return;
    for (int i = 0; i < count && i < kMaxIfdEntries; ++i) {
      TiffEntry e;
      if (!ReadTiffEntry(bytes, ifd, i, be_, e)) break;
      if (e.tag == 36867) ReadDate(e.value);
    }
  }

  int fd_;
  uint64_t start_;
  bool be_;
  PreviewInfo& info_;
};

// Decimal digits at `at`, up to the first non-digit (at most 9 taken).
int NumberAt(const char* text, size_t size, size_t at) {
  int value = 0;
  for (size_t i = at; i < size && i < at + 9 && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

}  // namespace

bool ParseExifDate(const char* text, size_t size, uint64_t& filetime) {
  CalendarTime t;
  t.year = NumberAt(text, size, 0);
  t.month = NumberAt(text, size, 5);
  t.day = NumberAt(text, size, 8);
  t.hour = NumberAt(text, size, 11);
  t.minute = NumberAt(text, size, 14);
  t.second = NumberAt(text, size, 17);
  return CalendarToFiletime(t, filetime);
}

int ReadRawPreview(int handle, FoundFile& record, PreviewInfo& info) {
  info = PreviewInfo{};
  uint8_t head[kSectorSize];
  if (!ReadSectors(handle, record.startSector, 1, kSectorSize, head)) return 0;
  const bool be = head[0] == 'M' && head[1] == 'M';
  uint32_t ifdOffset = 0;
  ByteView(head, sizeof head).u32(4, be, ifdOffset);
  PreviewWalker walker(handle, record.startSector, be, info);
  std::vector<uint32_t> visited;
  for (int n = 0; n < kMaxIfdChain && ifdOffset != 0; ++n) {
    visited.push_back(ifdOffset);
    info.next = 0;
    if (!walker.WalkAt(ifdOffset, true, 0)) break;
    ifdOffset = info.next;
    if (std::find(visited.begin(), visited.end(), ifdOffset) != visited.end()) break;
  }
  if (static_cast<int64_t>(info.offset) > 0) info.offset += record.startSector * kSectorSize;
  record.date = info.date;
  return static_cast<int64_t>(info.length) > 0 ? 1 : 0;
}

}  // namespace lumicarve
