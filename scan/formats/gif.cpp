// GIF: the trailer 3B, preceded by a zero byte (the last block terminator) and
// followed only by zeros to the end of its sector.
#include "scan/formats/end_rules.h"
#include <cstring>
#include "scan/formats/registry.h"

namespace lumicarve {

uint64_t GifSectorEnd(const uint8_t* s, uint64_t offset, const PreviousSector& prev) {
  // Every byte after the trailer is zero, so it can only be the sector's last
  // non-zero byte.
  int k = 511;
  while (k >= 0 && s[k] == 0) --k;
  if (k < 0 || s[k] != 0x3B) return 0;
  const uint8_t before = k == 0 ? prev.last : s[k - 1];
  if (before != 0) return 0;
  return offset + static_cast<uint64_t>(k) + 1;
}

namespace {

bool GifSignature(const uint8_t* s) { return std::memcmp(s, "GIF8", 4) == 0; }

uint64_t GifEnd(const uint8_t* s, uint64_t, uint64_t offset, const PreviousSector& prev, FileRuleState&, bool) {
  return GifSectorEnd(s, offset, prev);
}

}  // namespace

extern const FileFormat kGifFormat{.type = FT_GIF, .extension = "GIF", .description = 61228,
                                   .group = TypeGroup::kPicture, .signature = GifSignature, .firstBytes = "G",
                                   .sectorEnd = GifEnd};

}  // namespace lumicarve
