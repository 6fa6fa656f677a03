// JPEG: the marker chain from offset 2 (segments skipped by their lengths,
// restart and SOI/EOI markers 2 bytes long) must reach a DHT segment before an
// FF D9 counts. An EXIF thumbnail's end-of-image marker lies inside APP1, so it
// is passed over; the true end is an FF D9 followed only by zeros to the end
// of its sector. Past 2 MiB the first sector whose tail is all zero ends it.
#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scan/formats/end_rules.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

constexpr uint64_t kJpegForcedEnd = 2097152;

bool TailIsZero(const uint8_t* s, size_t from) {
  for (size_t i = from; i < 512; ++i)
    if (s[i]) return false;
  return true;
}

// The first k in [0, 510] with s[k] = FF and s[k + 1] = D9, or 511. Reads
// only the sector's 512 bytes.
size_t FindEndMarker(const uint8_t* s) {
  size_t k = 0;
#if defined(__SSE2__)
  const __m128i ff = _mm_set1_epi8(static_cast<char>(0xFF));
  const __m128i d9 = _mm_set1_epi8(static_cast<char>(0xD9));
  auto load = [s](size_t i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)); };
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
#endif
  for (; k <= 510; ++k)
    if (s[k] == 0xFF && s[k + 1] == 0xD9) return k;
  return 511;
}

}  // namespace

uint64_t JpegSectorEnd(const uint8_t* s, uint64_t offset, const PreviousSector& prev, JpegWalk& w) {
  if (prev.last == 0xFF && s[0] == 0xD9) return offset + 1;
  uint64_t found = 0;
  // Inside the entropy-coded data, with the marker chain behind and the
  // 2 MiB bound ahead, only an FF D9 can act: search for it directly.
  const uint64_t chainAt = w.expectedMarker + w.segmentLength;
  if (w.huffman && (chainAt < offset || chainAt > offset + 510) && offset + 511 <= kJpegForcedEnd) {
    const size_t k = FindEndMarker(s);
    return k <= 510 && TailIsZero(s, k + 2) ? offset + k + 2 : 0;
  }
  // Only three things can act at an offset: the chain's next marker, an FF
  // (once a DHT was seen) and the 2 MiB bound. Jump between them.
  size_t k = 0;
  while (k <= 510) {
    const uint64_t p = offset + k;
    if (p == w.expectedMarker + w.segmentLength) {
      const uint8_t code = s[k + 1];
      uint64_t len = uint64_t{s[k + 2]} * 256 + s[k + 3] + 2;
      if (code >= 0xD0 && code <= 0xD9) len = 2;
      if (s[k] == 0xFF) {
        w.expectedMarker = p;
        w.segmentLength = len;
      }
      if (code == 0xC4) w.huffman = true;
    }
    const bool eoi = s[k] == 0xFF && s[k + 1] == 0xD9 && w.huffman;
    if (eoi || p >= kJpegForcedEnd) {
      found = offset + k + 2;
      if (!TailIsZero(s, k + 2)) found = 0;
      break;
    }
    size_t next = 511;
    const uint64_t chain = w.expectedMarker + w.segmentLength;
    if (chain > p && chain < offset + 511) next = static_cast<size_t>(chain - offset);
    if (w.huffman) {
      const void* ff = std::memchr(s + k + 1, 0xFF, 510 - k);
      if (ff) next = std::min(next, static_cast<size_t>(static_cast<const uint8_t*>(ff) - s));
    }
    if (offset + 511 > kJpegForcedEnd)
      next = std::min(next, std::max(k + 1, static_cast<size_t>(kJpegForcedEnd > offset ? kJpegForcedEnd - offset : 0)));
    k = next;
  }
  if (!w.huffman) found = 0;
  return found;
}

namespace {

bool JpegSignature(const uint8_t* s) {
  return s[0] == 0xFF && s[1] == 0xD8 && (std::memcmp(s + 6, "JFIF", 4) == 0 || std::memcmp(s + 6, "Exif", 4) == 0);
}

uint64_t JpegEnd(const uint8_t* s, uint64_t, uint64_t offset, const PreviousSector& prev, FileRuleState& state,
                 bool) {
  return JpegSectorEnd(s, offset, prev, state.jpeg);
}

}  // namespace

extern const FileFormat kJpegFormat{.type = FT_JPG, .extension = "JPG", .description = 61230,
                                    .group = TypeGroup::kPicture, .signature = JpegSignature,
                                    .firstBytes = "\xFF", .sectorEnd = JpegEnd, .copiesSectorsToPreview = true};

}  // namespace lumicarve
