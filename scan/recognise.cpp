// Signature tests on a sector, in the registry's order: the first enabled
// test that matches decides, so ftyp-headed files fall to the most specific
// enabled type (3GP, then MP4, then any QuickTime atom).
#include "scan/recognise.h"

#include <array>
#include <cstring>

#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

// For each first byte, the rows (bit i = i-th row) whose signature can start
// with it. Most sectors start with a byte no signature starts with and end
// here; a row that can start with any byte names the tag at offset 4 that
// must be there instead.
struct Prefilter {
  std::array<uint64_t, 256> rowsByFirstByte{};
  uint64_t anyByteRows = 0;
  std::array<char, 4> tag{};

  Prefilter() {
    const auto formats = Formats();
    for (size_t i = 0; i < formats.size() && i < 64; ++i) {
      const FileFormat& f = *formats[i];
      if (!f.signature) continue;
      for (char b : f.firstBytes) rowsByFirstByte[static_cast<uint8_t>(b)] |= uint64_t{1} << i;
      if (f.anyFirstByteTag.size() == tag.size()) {
        anyByteRows |= uint64_t{1} << i;
        std::memcpy(tag.data(), f.anyFirstByteTag.data(), tag.size());
      }
    }
  }
};

}  // namespace

FileTypeMask RecogniseSector(const uint8_t* s, FileTypeMask enabledMask) {
  static const Prefilter prefilter;
  uint64_t rows = prefilter.rowsByFirstByte[s[0]];
  if (prefilter.anyByteRows && std::memcmp(s + 4, prefilter.tag.data(), 4) == 0) rows |= prefilter.anyByteRows;
  if (!rows) return 0;
  const FileTypeMask enabled = enabledMask & 0xFFFFFFFFu;
  const auto formats = Formats();
  for (; rows; rows &= rows - 1) {
    const FileFormat& f = *formats[static_cast<size_t>(__builtin_ctzll(rows))];
    const bool on = (enabled & (f.enabledBy ? f.enabledBy : f.type)) != 0;
    if (!on && !f.ownsSignature) continue;
    if (f.signature(s)) return on ? f.type : 0;
  }
  return 0;
}

}  // namespace lumicarve
