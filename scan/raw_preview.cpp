// The embedded JPEG preview of a RAW file, and the capture date of a
// TIFF-based one. CR3 keeps its preview in boxes, RAF at an offset its
// header gives; every other RAW is a TIFF structure.
// The IFD chain is walked on the device; the last qualifying entry wins
// (entries in IFD order, each SubIFD where its tag stands, then the next IFD),
// and the EXIF IFD's DateTimeOriginal, walked after its parent's DateTime,
// wins over it. Offsets from the device are distrusted as in the length rule.
#include "scan/raw_preview.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "scan/filetime.h"
#include "scan/formats/capture_date.h"
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

// A JPEG of `length` bytes at `offset` of the file, when it lies wholly
// inside `[0, end)` and starts with a start-of-image marker: cameras' files
// whose preview was wiped hold other bytes there.
bool TakeJpeg(int handle, const FoundFile& file, uint64_t offset, uint64_t length, uint64_t end,
              PreviewInfo& info) {
  if (length < 4 || offset > end || length > end - offset) return false;
  uint8_t soi[3];
  if (!ReadFileBytes(handle, file, offset, sizeof soi, soi)) return false;
  if (soi[0] != 0xFF || soi[1] != 0xD8 || soi[2] != 0xFF) return false;
  info.offset = offset;
  info.length = length;
  return true;
}

// RAF: the big-endian offset and length of the JPEG preview at 84 of the header.
bool FindRafPreview(int handle, const FoundFile& record, PreviewInfo& info) {
  uint8_t head[92];
  if (!ReadFileBytes(handle, record, 0, sizeof head, head)) return false;
  uint32_t offset = 0, length = 0;
  const ByteView view(head, sizeof head);
  return view.u32be(84, offset) && view.u32be(88, length) && offset >= sizeof head &&
         TakeJpeg(handle, record, offset, length, record.length, info);
}

constexpr uint8_t kCr3MetadataUuid[16] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                          0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};
constexpr uint8_t kCr3PreviewUuid[16] = {0xea, 0xf4, 0x2b, 0x5e, 0x1c, 0x98, 0x4b, 0x88,
                                         0xb9, 0xfb, 0xb7, 0xdc, 0x40, 0x6e, 0x4d, 0x16};
constexpr int kMaxBoxesWalked = 256;

struct Box {
  uint64_t at = 0, end = 0;  // the box's first byte and the byte after it
  uint64_t body = 0;         // its first byte after size and type (and a uuid's 16 bytes)
  uint8_t type[4] = {};
  uint8_t uuid[16] = {};
};

// Walks the boxes lying wholly inside [from, end) in order, handing each to
// `visit`; a box whose size is too small or reaches past `end` ends the walk.
template <typename Visit>
void WalkBoxes(int handle, const FoundFile& file, uint64_t from, uint64_t end, int& budget, Visit&& visit) {
  uint64_t at = from;
  while (at < end && end - at >= 8 && budget-- > 0) {
    uint8_t head[32];
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof head, end - at));
    if (!ReadFileBytes(handle, file, at, want, head)) return;
    const ByteView view(head, want);
    uint32_t size32 = 0;
    view.u32be(0, size32);
    Box box;
    box.at = at;
    std::memcpy(box.type, head + 4, 4);
    uint64_t size = size32;
    box.body = at + 8;
    if (size32 == 1) {
      if (!view.u64be(8, size)) return;
      box.body += 8;
    } else if (size32 == 0) {
      size = end - at;
    }
    if (size < box.body - at || size > end - at) return;
    box.end = at + size;
    if (std::memcmp(box.type, "uuid", 4) == 0) {
      if (!view.has(box.body - at, 16) || box.end - box.body < 16) return;
      std::memcpy(box.uuid, head + (box.body - at), 16);
      box.body += 16;
    }
    visit(box);
    at = box.end;
  }
}

// CR3: the PRVW box (a JPEG of some 1620 x 1080) in the preview uuid box at
// the top level, else the THMB box (160 x 120) in the metadata uuid box in
// moov. Both hold the JPEG from 24, its length at 20 in PRVW, at 16 in THMB.
bool FindCr3Preview(int handle, const FoundFile& record, PreviewInfo& info) {
  int budget = kMaxBoxesWalked;
  PreviewInfo prvw{}, thmb{};
  auto jpegIn = [&](const Box& box, size_t lengthAt, PreviewInfo& out) {
    uint8_t head[24];
    uint32_t length = 0;
    return box.end - box.at >= sizeof head && ReadFileBytes(handle, record, box.at, sizeof head, head) &&
           ByteView(head, sizeof head).u32be(lengthAt, length) &&
           TakeJpeg(handle, record, box.at + sizeof head, length, box.end, out);
  };
  WalkBoxes(handle, record, 0, record.length, budget, [&](const Box& top) {
    if (std::memcmp(top.type, "moov", 4) == 0) {
      WalkBoxes(handle, record, top.body, top.end, budget, [&](const Box& inMoov) {
        if (std::memcmp(inMoov.uuid, kCr3MetadataUuid, 16) != 0) return;
        WalkBoxes(handle, record, inMoov.body, inMoov.end, budget, [&](const Box& b) {
          if (std::memcmp(b.type, "THMB", 4) == 0 && thmb.length == 0) jpegIn(b, 16, thmb);
        });
      });
    } else if (std::memcmp(top.uuid, kCr3PreviewUuid, 16) == 0 && prvw.length == 0) {
      // Eight bytes precede the PRVW box.
      WalkBoxes(handle, record, top.body + 8, top.end, budget, [&](const Box& b) {
        if (std::memcmp(b.type, "PRVW", 4) == 0 && prvw.length == 0) jpegIn(b, 20, prvw);
      });
    }
  });
  const PreviewInfo& found = prvw.length ? prvw : thmb;
  if (found.length == 0) return false;
  info.offset = found.offset;
  info.length = found.length;
  return true;
}

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
  if (record.type == FT_CR3 || record.type == FT_RAF) {
    // Their dates are read elsewhere: the record's date is left as it is.
    const bool found = record.type == FT_CR3 ? FindCr3Preview(handle, record, info)
                                             : FindRafPreview(handle, record, info);
    if (!found) {
      info = PreviewInfo{};
      return 0;
    }
    info.offset += record.startSector * kSectorSize;
    return 1;
  }
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
