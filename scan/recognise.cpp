// Signature tests on a sector, in the registry's order: the first enabled
// test that matches decides, so ftyp-headed files fall to the most specific
// enabled type (3GP, then MP4, then any QuickTime atom).
#include "scan/recognise.h"

#include <array>
#include <cstring>

#include "scan/formats/registry.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

// For each value of the first byte and of the byte at offset 4, the rows
// (bit i = i-th row) whose signature can have it there. Most sectors match
// no row and end here.
struct Prefilter {
  std::array<uint64_t, 256> byFirstByte{};
  std::array<uint64_t, 256> byFifthByte{};

  Prefilter() {
    const auto formats = Formats();
    for (size_t i = 0; i < formats.size() && i < 64; ++i) {
      const FileFormat& f = *formats[i];
      if (!f.signature) continue;
      for (char b : f.firstBytes) byFirstByte[static_cast<uint8_t>(b)] |= uint64_t{1} << i;
      for (char b : f.fifthBytes) byFifthByte[static_cast<uint8_t>(b)] |= uint64_t{1} << i;
    }
  }
};

}  // namespace

FileTypeMask RecogniseSector(const uint8_t* s, FileTypeMask enabledMask) {
  static const Prefilter prefilter;
  uint64_t rows = prefilter.byFirstByte[s[0]] | prefilter.byFifthByte[s[4]];
  if (!rows) return 0;
  const FileTypeMask enabled = enabledMask & 0xFFFFFFFFu;
  const auto formats = Formats();
  const ByteView sector(s, kSectorSize);
  for (; rows; rows &= rows - 1) {
    const FileFormat& f = *formats[static_cast<size_t>(__builtin_ctzll(rows))];
    const bool on = (enabled & (f.enabledBy ? f.enabledBy : f.type)) != 0;
    if (!on && !f.ownsSignature) continue;
    if (f.signature(sector)) return on ? f.type : 0;
  }
  return 0;
}

}  // namespace lumicarve
