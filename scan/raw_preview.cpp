// The embedded JPEG preview and the capture date of a TIFF-based RAW file.
// The IFD chain is walked on the device; the last qualifying entry wins
// (entries in IFD order, each SubIFD where its tag stands, then the next IFD),
// and the EXIF IFD's DateTimeOriginal, walked after its parent's DateTime,
// wins over it. Offsets from the device are distrusted as in the length rule.
#include "scan/raw_preview.h"

#include <algorithm>
#include <vector>

#include "scan/filetime.h"
#include "scan/formats/ifd_visitor.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

class PreviewRule : public IfdVisitor::Handler {
 public:
  explicit PreviewRule(PreviewInfo& info) : info_(info) {}

  void Entry(IfdVisitor& walk, const IfdPlace& place, const TiffEntry& e) override {
    if (place.kind == IfdKind::kExif) {
      if (e.tag == 36867) ReadDate(walk, e.value);
      return;
    }
    bool& jpegCompressed = jpegCompressed_[std::min(place.depth, kMaxSubIfdDepth)];
    switch (e.tag) {
      case 259: jpegCompressed = e.value == 7; break;
      case 46: case 513: info_.offset = e.value; break;
      case 273: if (jpegCompressed) info_.offset = e.value; break;
      case 514: info_.length = e.value; break;
      case 279: if (jpegCompressed) info_.length = e.value; break;
      case 280: info_.length = uint64_t{e.value} - info_.offset; break;
      case 306: ReadDate(walk, e.value); break;
      case 34665: walk.WalkBelow(place, IfdKind::kExif, e.value, *this); break;
      case 330: walk.WalkSubIfds(place, e, *this); break;
      default: break;
    }
  }

  void IfdDone(const IfdPlace& place, uint16_t, bool) override {
    jpegCompressed_[std::min(place.depth, kMaxSubIfdDepth)] = false;
  }

 private:
  // "YYYY:MM:DD HH:MM:SS"; a text cut short by the device's end is parsed
  // as far as it goes.
  void ReadDate(IfdVisitor& walk, uint32_t at) {
    std::vector<uint8_t> buf;
    const ByteView text = walk.Read(at, 26, buf);
    ParseExifDate(reinterpret_cast<const char*>(text.data()), text.size(), info_.date);
  }

  PreviewInfo& info_;
  bool jpegCompressed_[kMaxSubIfdDepth + 1] = {};
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

std::optional<CopyRange> PreviewCopyRange(const FoundFile& file, const PreviewInfo* preview) {
  const uint64_t start = file.startSector * kSectorSize;
  CopyRange range{start, file.length};
  if (preview) {
    // A preview a damaged IFD places outside its file is not the file's picture.
    if (preview->offset < start || preview->length > file.length ||
        preview->offset - start > file.length - preview->length)
      return std::nullopt;
    range = {preview->offset, preview->length};
  }
  if (range.length == 0 || range.length > kMaxPreviewCopyBytes) return std::nullopt;
  return range;
}

int ReadRawPreview(int handle, FoundFile& record, PreviewInfo& info, const CancelCheck& cancelled) {
  info = PreviewInfo{};
  uint8_t head[kSectorSize];
  if (!ReadSectors(handle, record.startSector, 1, kSectorSize, head)) return 0;
  const bool be = head[0] == 'M' && head[1] == 'M';
  uint32_t ifd0 = 0;
  ByteView(head, sizeof head).u32(4, be, ifd0);
  PreviewRule rule(info);
  IfdVisitor walk(handle, record.startSector, be, cancelled);
  walk.WalkChain(ifd0, rule);
  if (static_cast<int64_t>(info.offset) > 0) info.offset += record.startSector * kSectorSize;
  record.date = info.date;
  return static_cast<int64_t>(info.length) > 0 ? 1 : 0;
}

}  // namespace lumicarve
