// Matroska and WebM: EBML elements (a variable-length ID, a variable-length
// size, the data). The file is the EBML header (ID 1A 45 DF A3), whose
// DocType (ID 42 82) names "matroska" or "webm", followed by one Segment
// (ID 18 53 80 67) whose size ends the file. A segment of unknown size (all
// size bits set, as a live recording leaves it) runs until the next signature.
// The capture date is the Segment Info's DateUTC (ID 44 61): signed
// nanoseconds since 2001-01-01 00:00:00 UTC, in 8 bytes.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "scan/byte_view.h"
#include "scan/extent.h"
#include "scan/filetime.h"
#include "scan/formats/capture_date.h"
#include "scan/formats/registry.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

struct Vint {
  uint64_t value = 0;
  unsigned length = 0;  // 0: not a valid number
  bool unknown = false;  // every value bit set
};

// A variable-length number at `at`; `keepMarker` for an element ID, which is
// compared with its length marker in place.
Vint ReadVint(const ByteView& v, size_t at, bool keepMarker) {
  Vint n;
  uint8_t first = 0;
  if (!v.u8(at, first) || first == 0) return n;
  const unsigned length = static_cast<unsigned>(__builtin_clz(first)) - 23;  // leading zeros of a byte, plus 1
  if (!v.has(at, length)) return n;
  uint64_t value = keepMarker ? first : first & (0xFFu >> length);
  bool allOnes = (first & (0xFFu >> length)) == (0xFFu >> length);
  for (unsigned i = 1; i < length; ++i) {
    value = value << 8 | v.data()[at + i];
    allOnes = allOnes && v.data()[at + i] == 0xFF;
  }
  n.value = value;
  n.length = length;
  n.unknown = !keepMarker && allOnes;
  return n;
}

// The DocType of the EBML header at the start of `v`, and where the header ends.
bool ReadHeader(const ByteView& v, std::string_view& docType, uint64_t& headerEnd) {
  uint32_t magic = 0;
  if (!v.u32be(0, magic) || magic != 0x1A45DFA3) return false;
  const Vint size = ReadVint(v, 4, false);
  if (!size.length || size.unknown) return false;
  headerEnd = 4 + size.length + size.value;
  size_t at = 4 + size.length;
  while (at < headerEnd) {
    const Vint id = ReadVint(v, at, true);
    if (!id.length) return false;
    const Vint len = ReadVint(v, at + id.length, false);
    if (!len.length || len.unknown) return false;
    const size_t data = at + id.length + len.length;
    if (id.value == 0x4282) {
      if (!v.has(data, len.value)) return false;
      docType = std::string_view(reinterpret_cast<const char*>(v.data() + data), len.value);
      // A string may be padded with zeros.
      docType = docType.substr(0, docType.find('\0'));
      return true;
    }
    at = data + len.value;
  }
  return false;
}

bool IsDocType(const ByteView& s, std::string_view wanted) {
  std::string_view docType;
  uint64_t end = 0;
  return ReadHeader(s, docType, end) && docType == wanted;
}

bool MkvSignature(const ByteView& s) { return IsDocType(s, "matroska"); }
bool WebmSignature(const ByteView& s) { return IsDocType(s, "webm"); }

Extent MatroskaExtent(ScanContext& context, uint64_t startSector, FileTypeMask&) {
  uint8_t head[2 * kSectorSize];
  const uint32_t sectors = startSector + 2 <= context.ScannedSectors() ? 2 : 1;
  if (!ReadStartSectors(context, startSector, sectors, head)) return Extent::Drop();
  const ByteView v(head, sectors * kSectorSize);
  std::string_view docType;
  uint64_t at = 0;
  if (!ReadHeader(v, docType, at)) return Extent::Drop();
  uint32_t id = 0;
  if (!v.u32be(at, id) || id != 0x18538067) return Extent::Drop();
  const Vint size = ReadVint(v, at + 4, false);
  if (!size.length) return Extent::Drop();
  if (size.unknown) return Extent::OpenEnded();
  return Extent::Claim(at + 4 + size.length + size.value);
}

// The DateUTC among the children of the Info element `info`.
bool InfoDate(const ByteView& info, uint64_t& filetime) {
  size_t at = 0;
  while (at < info.size()) {
    const Vint id = ReadVint(info, at, true);
    const Vint len = id.length ? ReadVint(info, at + id.length, false) : Vint{};
    if (!len.length || len.unknown) return false;
    const size_t data = at + id.length + len.length;
    if (!info.has(data, len.value)) return false;
    if (id.value == 0x4461) {
      uint64_t raw = 0;
      if (len.value != 8 || !info.u64be(data, raw) || raw == 0) return false;
      CalendarTime origin;
      origin.year = 2001, origin.month = 1, origin.day = 1;
      uint64_t base = 0;
      CalendarToFiletime(origin, base);
      // |raw / 100| stays below 2^63 / 100, well under the origin's count.
      const int64_t hundreds = static_cast<int64_t>(raw) / 100;
      const uint64_t date = static_cast<uint64_t>(static_cast<int64_t>(base) + hundreds);
      CalendarTime check;
      if (!FiletimeToCalendar(date, check)) return false;
      filetime = date;
      return true;
    }
    at = data + len.value;
  }
  return false;
}

// Walks the Segment's children from its start up to the first Cluster: the
// Info element stands among the headers before the media data.
bool MatroskaDate(int handle, const FoundFile& file, uint64_t& filetime) {
  constexpr int kMaxElements = 64;
  uint8_t head[2 * kSectorSize];
  const size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof head, file.length));
  if (!ReadFileBytes(handle, file, 0, n, head)) return false;
  const ByteView v(head, n);
  std::string_view docType;
  uint64_t at = 0;
  uint32_t id = 0;
  if (!ReadHeader(v, docType, at) || !v.u32be(at, id) || id != 0x18538067) return false;
  const Vint size = ReadVint(v, at + 4, false);
  if (!size.length) return false;
  at += 4 + size.length;
  const uint64_t end = size.unknown || size.value > file.length - at ? file.length : at + size.value;
  for (int i = 0; i < kMaxElements && at < end; ++i) {
    uint8_t h[12];
    const size_t hn = static_cast<size_t>(std::min<uint64_t>(sizeof h, end - at));
    if (!ReadFileBytes(handle, file, at, hn, h)) return false;
    const ByteView hv(h, hn);
    const Vint child = ReadVint(hv, 0, true);
    const Vint len = child.length ? ReadVint(hv, child.length, false) : Vint{};
    if (!len.length || len.unknown || child.value == 0x1F43B675) return false;
    const uint64_t data = at + child.length + len.length;
    if (data > end || len.value > end - data) return false;
    if (child.value == 0x1549A966) {
      std::vector<uint8_t> info(static_cast<size_t>(std::min<uint64_t>(len.value, kMaxMetadataBytes)));
      return ReadFileBytes(handle, file, data, info.size(), info.data()) &&
             InfoDate(ByteView(info.data(), info.size()), filetime);
    }
    at = data + len.value;
  }
  return false;
}

}  // namespace

extern const FileFormat kMkvFormat{.type = FT_MKV, .extension = "MKV", .description = 61403,
                                   .group = TypeGroup::kVideo, .signature = MkvSignature, .firstBytes = "\x1A",
                                   .extent = MatroskaExtent, .captureDate = MatroskaDate};
extern const FileFormat kWebmFormat{.type = FT_WEBM, .extension = "WEBM", .description = 61404,
                                    .group = TypeGroup::kVideo, .signature = WebmSignature, .firstBytes = "\x1A",
                                    .extent = MatroskaExtent, .captureDate = MatroskaDate};

}  // namespace lumicarve
