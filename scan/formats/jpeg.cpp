// JPEG: the structure walk follows the file from marker to marker. Segments
// are skipped by their lengths (so an EXIF thumbnail's end-of-image marker
// inside APP1 is passed over); after an SOS the entropy-coded data runs to the
// first FF that is neither stuffing (FF 00) nor a restart marker (FF D0-D7).
// That marker ends the primary image (FF D9) or starts the next segment, as
// between the scans of a progressive JPEG. A file with a Multi-Picture index
// ends with the last image the index lists, when that lies further.
//
// Where the structure breaks (a code that is no marker, a segment running past
// the device, data that no encoder writes) the chain rule takes over: once a
// DHT was met on the chain, an FF D9 followed only by zeros to the end of its
// sector ends the file, and past 2 MiB the first sector whose tail is all zero.
#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scan/byte_view.h"
#include "scan/formats/end_rules.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

constexpr uint64_t kJpegForcedEnd = 2097152;
constexpr size_t kSector = kRuleSectorBytes;

// The first k in [0, 510] with s[k] = FF and s[k + 1] = D9. Reads only the
// sector's 512 bytes.
std::optional<size_t> FindEndMarker(const ByteView& s) {
  size_t k = 0;
#if defined(__SSE2__)
  if (s.size() >= kSector) {
    const uint8_t* p = s.data();
    const __m128i ff = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i d9 = _mm_set1_epi8(static_cast<char>(0xD9));
    auto load = [p](size_t i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)); };
    // Entropy-coded data holds an FF about every 256 bytes: look for one 64
    // bytes at a time, and for the D9 after it only where there is one.
    for (; k < 448; k += 64) {
      const __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(load(k), ff), _mm_cmpeq_epi8(load(k + 16), ff)),
                                       _mm_or_si128(_mm_cmpeq_epi8(load(k + 32), ff), _mm_cmpeq_epi8(load(k + 48), ff)));
      if (_mm_movemask_epi8(any) == 0) continue;
      for (size_t i = k; i < k + 64; i += 16) {
        const unsigned both = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(load(i), ff), _mm_cmpeq_epi8(load(i + 1), d9))));
        if (both) return i + static_cast<size_t>(__builtin_ctz(both));
      }
    }
    for (; k < 496; k += 16) {
      const unsigned both = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(load(k), ff), _mm_cmpeq_epi8(load(k + 1), d9))));
      if (both) return k + static_cast<size_t>(__builtin_ctz(both));
    }
  }
#endif
  for (; k <= 510; ++k)
    if (s.byte(k) == 0xFF && s.byte(k + 1) == 0xD9) return k;
  return std::nullopt;
}

// In entropy-coded data from `k`: the first FF that starts a marker, one
// followed by neither 00 (stuffing) nor D0-D7 (a restart), and whether FFs
// were passed over before it (or, with no marker, anywhere from `k`). The
// byte after the sector's last is the next sector's first.
struct EntropyScan {
  std::optional<size_t> marker;
  bool passed = false;
};

bool StartsMarker(uint8_t code) { return code != 0x00 && (code < 0xD0 || code > 0xD7); }

EntropyScan FindEntropyMarker(const ByteView& s, size_t k) {
  EntropyScan out;
#if defined(__SSE2__)
  if (s.size() >= kSector) {
    const uint8_t* p = s.data();
    const __m128i ff = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i zero = _mm_setzero_si128();
    const __m128i high5 = _mm_set1_epi8(static_cast<char>(0xF8));
    const __m128i restart = _mm_set1_epi8(static_cast<char>(0xD0));
    auto load = [p](size_t i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)); };
    // An FF comes about every 256 bytes; the byte after one is looked at
    // only in the 16 where there is one.
    for (; k + 16 < kSector; k += 16) {
      const unsigned ffs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(load(k), ff)));
      if (!ffs) continue;
      const __m128i next = load(k + 1);
      const __m128i passes = _mm_or_si128(_mm_cmpeq_epi8(next, zero),
                                          _mm_cmpeq_epi8(_mm_and_si128(next, high5), restart));
      const unsigned markers = ffs & ~static_cast<unsigned>(_mm_movemask_epi8(passes));
      if (markers) {
        const unsigned at = static_cast<unsigned>(__builtin_ctz(markers));
        out.passed = out.passed || (ffs & ((1u << at) - 1));
        out.marker = k + at;
        return out;
      }
      out.passed = true;
    }
  }
#endif
  for (; k < kSector; ++k) {
    if (s.byte(k) != 0xFF) continue;
    if (StartsMarker(s.byte(k + 1))) {
      out.marker = k;
      return out;
    }
    out.passed = true;
    ++k;  // the stuffed or restart byte
  }
  return out;
}

// The file's length when the marker whose last byte is at `k` ends it: only
// zeros may follow it to the end of its sector.
std::optional<uint64_t> EndIfTailIsZero(const ByteView& s, uint64_t offset, size_t k) {
  if (!s.zeros(k + 1, kSector)) return std::nullopt;
  return offset + k + 1;
}

// The chain rule on one sector.
std::optional<uint64_t> ChainRuleSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev,
                                           JpegWalk& w) {
  if (prev.last == 0xFF && s.byte(0) == 0xD9) return offset + 1;
  // Inside the entropy-coded data, with the marker chain behind and the
  // 2 MiB bound ahead, only an FF D9 can act: search for it directly.
  const uint64_t chainAt = w.expectedMarker + w.segmentLength;
  if (w.huffman && (chainAt < offset || chainAt > offset + 510) && offset + 511 <= kJpegForcedEnd) {
    const std::optional<size_t> k = FindEndMarker(s);
    return k ? EndIfTailIsZero(s, offset, *k + 1) : std::nullopt;
  }
  // Only three things can act at an offset: the chain's next marker, an FF
  // (once a DHT was seen) and the 2 MiB bound. Jump between them.
  size_t k = 0;
  while (k <= 510) {
    const uint64_t p = offset + k;
    if (p == w.expectedMarker + w.segmentLength) {
      const uint8_t code = s.byte(k + 1);
      uint64_t len = uint64_t{s.byte(k + 2)} * 256 + s.byte(k + 3) + 2;
      if (code >= 0xD0 && code <= 0xD9) len = 2;
      if (s.byte(k) == 0xFF) {
        w.expectedMarker = p;
        w.segmentLength = len;
      }
      if (code == 0xC4) w.huffman = true;
    }
    const bool eoi = s.byte(k) == 0xFF && s.byte(k + 1) == 0xD9 && w.huffman;
    if (eoi || p >= kJpegForcedEnd) return w.huffman ? EndIfTailIsZero(s, offset, k + 1) : std::nullopt;
    size_t next = 511;
    const uint64_t chain = w.expectedMarker + w.segmentLength;
    if (chain > p && chain < offset + 511) next = static_cast<size_t>(chain - offset);
    if (w.huffman) {
      if (const std::optional<size_t> ff = s.find(k + 1, 511, uint8_t{0xFF})) next = std::min(next, *ff);
    }
    if (offset + 511 > kJpegForcedEnd)
      next = std::min(next, std::max(k + 1, static_cast<size_t>(kJpegForcedEnd > offset ? kJpegForcedEnd - offset : 0)));
    k = next;
  }
  return std::nullopt;
}

// Segment markers that carry a 16-bit length: SOFn, DHT, DAC, DQT, DRI, DNL,
// SOS, DHP, EXP, APPn, JPGn and COM.
bool HasLength(uint8_t code) { return (code >= 0xC0 && code <= 0xCF) || (code >= 0xDA && code <= 0xFE); }

// Fill bytes (FF before a marker) are legal in any number, but no encoder
// writes many; a long run of FF is erased flash, not a JPEG.
constexpr uint8_t kMaxFillRun = 32;

// Keeps the bytes of the Multi-Picture index that lie in this sector.
void KeepIndexBytes(const ByteView& s, uint64_t offset, JpegWalk& w) {
  if (!w.indexBase) return;
  const uint64_t from = std::max(offset, w.indexBase), to = std::min(offset + kSector, w.indexEnd);
  if (from < to) s.copy(static_cast<size_t>(from - offset), static_cast<size_t>(to - from), w.index + (from - w.indexBase));
}

// The furthest end, as a file offset, of the images the Multi-Picture index
// lists after the primary one; 0 when there is no usable index. Offsets in
// the index count from its TIFF header.
uint64_t IndexedImagesEnd(const JpegWalk& w) {
  if (!w.indexBase) return 0;
  const ByteView v(w.index, w.indexEnd - w.indexBase);
  bool be = false;
  if (v.equals(0, "MM\0*", 4)) be = true;
  else if (!v.equals(0, "II*\0", 4)) return 0;
  uint32_t ifd = 0;
  uint16_t count = 0;
  if (!v.u32(4, be, ifd) || !v.u16(ifd, be, count)) return 0;
  uint64_t end = 0;
  for (uint16_t i = 0; i < count; ++i) {
    const size_t at = ifd + 2 + size_t{i} * 12;
    uint16_t tag = 0;
    uint32_t bytes = 0, entries = 0;
    if (!v.u16(at, be, tag) || !v.u32(at + 4, be, bytes) || !v.u32(at + 8, be, entries)) return 0;
    if (tag != 0xB002) continue;  // MP entries: 16 bytes per image
    for (uint32_t e = 0; e + 16 <= bytes; e += 16) {
      uint32_t size = 0, offset = 0;
      if (!v.u32(size_t{entries} + e + 4, be, size) || !v.u32(size_t{entries} + e + 8, be, offset)) return 0;
      if (offset != 0) end = std::max(end, w.indexBase + offset + size);
    }
  }
  return end;
}

enum class Step { kGoOn, kEnded, kBroken };

// Follows the structure through the bytes of this sector. On kEnded `found`
// holds the file's length.
Step WalkStructure(const ByteView& s, uint64_t offset, JpegWalk& w, uint64_t& found) {
  using Mode = JpegWalk::Mode;
  KeepIndexBytes(s, offset, w);
  const uint64_t sectorEnd = offset + kSector;
  if (w.next < offset) return Step::kBroken;  // bytes were missed: a jump back
  while (w.next < sectorEnd) {
    const size_t k = static_cast<size_t>(w.next - offset);
    if (w.mode == Mode::kEntropy) {
      const EntropyScan scan = FindEntropyMarker(s, k);
      if (scan.passed) w.fillRun = 0;
      if (!scan.marker) {
        // A sector of nothing but zeros is a clean card's empty space, not
        // compressed picture data.
        if (k == 0 && !scan.passed && s.zeros(0, kSector)) return Step::kBroken;
        // Stuffing in the sector's last byte reaches into the next sector.
        w.next = scan.passed && s.byte(kSector - 1) == 0xFF && !StartsMarker(s.byte(kSector)) ? sectorEnd + 1
                                                                                                : sectorEnd;
        break;
      }
      w.next = offset + *scan.marker;
      w.mode = Mode::kChain;
      continue;
    }
    if (s.byte(k) != 0xFF) return Step::kBroken;
    const uint8_t code = s.byte(k + 1);
    const uint64_t p = w.next;
    if (code == 0xFF) {
      if (++w.fillRun > kMaxFillRun) return Step::kBroken;
      ++w.next;
      continue;
    }
    w.fillRun = 0;
    uint64_t length = 2;
    if (HasLength(code)) {
      length = uint64_t{s.byte(k + 2)} * 256 + s.byte(k + 3) + 2;
      if (length < 4 || p + length > w.limit) return Step::kBroken;
    } else if (!(code >= 0xD0 && code <= 0xD9)) {
      return Step::kBroken;  // 00, SOI, TEM or a reserved code
    }
    // The chain rule's state follows along while the walk is where it would be.
    if (!w.scanSeen && p == w.expectedMarker + w.segmentLength) {
      w.expectedMarker = p;
      w.segmentLength = length;
      if (code == 0xC4) w.huffman = true;
    }
    if (code == 0xD9) {
      if (!w.scanSeen) return Step::kBroken;
      found = std::max(p + 2, IndexedImagesEnd(w));
      if (found > w.limit) found = p + 2;
      return Step::kEnded;
    }
    if (code == 0xE2 && !w.indexBase && !w.scanSeen && length >= 16 && s.equals(k + 4, "MPF", 4)) {
      w.indexBase = p + 8;
      w.indexEnd = std::min(p + length, w.indexBase + JpegWalk::kIndexBytes);
      KeepIndexBytes(s, offset, w);
    }
    if (code == 0xDA) {
      w.scanSeen = true;
      w.mode = Mode::kEntropy;
    }
    w.next = p + length;
  }
  return Step::kGoOn;
}

}  // namespace

std::optional<uint64_t> JpegSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev, JpegWalk& w) {
  if (w.mode != JpegWalk::Mode::kBroken) {
    const uint64_t expected = w.expectedMarker, segment = w.segmentLength;
    const bool huffman = w.huffman;
    uint64_t found = 0;
    switch (WalkStructure(s, offset, w, found)) {
      case Step::kEnded: return found;
      case Step::kGoOn: return std::nullopt;
      case Step::kBroken: break;
    }
    // The chain rule examines this sector again from the state it had at
    // the sector's start.
    w.mode = JpegWalk::Mode::kBroken;
    w.expectedMarker = expected;
    w.segmentLength = segment;
    w.huffman = huffman;
  }
  return ChainRuleSectorEnd(s, offset, prev, w);
}

namespace {

bool JpegSignature(const ByteView& s) {
  return s.equals(0, "\xFF\xD8", 2) && (s.equals(6, "JFIF", 4) || s.equals(6, "Exif", 4));
}

void JpegBegin(FileRuleState& state, uint64_t, const ByteView&) { state.jpeg.limit = state.limit; }

std::optional<uint64_t> JpegEnd(const ByteView& s, uint64_t, uint64_t offset, const PreviousSector& prev,
                                FileRuleState& state, FileTypeMask) {
  return JpegSectorEnd(s, offset, prev, state.jpeg);
}

}  // namespace

extern const FileFormat kJpegFormat{.type = FT_JPG, .extension = "JPG", .description = 61230,
                                    .group = TypeGroup::kPicture, .signature = JpegSignature,
                                    .firstBytes = "\xFF", .sectorEnd = JpegEnd, .begin = JpegBegin};

}  // namespace lumicarve
