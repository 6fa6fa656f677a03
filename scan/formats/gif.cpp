// GIF: the block walk from the logical screen descriptor to the trailer 3B,
// which ends the file exactly. Where the chain breaks, the trailer counts only
// after a zero byte (the last block terminator) and when followed by zeros to
// the end of its sector.
#include "scan/formats/end_rules.h"
#include <cstring>
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

// The size in bytes of the colour table a packed field announces.
uint64_t ColourTable(uint8_t packed) { return packed & 0x80 ? 3u << ((packed & 7) + 1) : 0; }

uint64_t TrailerRuleSectorEnd(const uint8_t* s, uint64_t offset, const PreviousSector& prev) {
  // Every byte after the trailer is zero, so it can only be the sector's last
  // non-zero byte.
  int k = 511;
  while (k >= 0 && s[k] == 0) --k;
  if (k < 0 || s[k] != 0x3B) return 0;
  const uint8_t before = k == 0 ? prev.last : s[k - 1];
  if (before != 0) return 0;
  return offset + static_cast<uint64_t>(k) + 1;
}

// Follows the blocks through this sector: the file's length when the trailer
// is here, 0 to go on, or the walk is marked broken.
uint64_t WalkBlocks(const uint8_t* s, uint64_t offset, GifWalk& w) {
  using Mode = GifWalk::Mode;
  if (offset == 0) w.next = 13 + ColourTable(s[10]);  // header and logical screen descriptor
  if (w.next < offset) {
    w.mode = Mode::kBroken;
    return 0;
  }
  while (w.next < offset + 512) {
    const size_t k = static_cast<size_t>(w.next - offset);
    if (w.mode == Mode::kSubBlocks) {
      if (s[k] == 0) w.mode = Mode::kBlock;
      w.next += 1 + s[k];
      continue;
    }
    switch (s[k]) {
      case 0x3B:
        return w.next + 1;
      case 0x21:  // extension: introducer, label, sub-blocks
        w.next += 2;
        break;
      case 0x2C:  // image: descriptor, local colour table, LZW code size, sub-blocks
        w.next += 10 + ColourTable(s[k + 9]) + 1;
        break;
      default:
        w.mode = Mode::kBroken;
        return 0;
    }
    w.mode = Mode::kSubBlocks;
  }
  return 0;
}

}  // namespace

uint64_t GifSectorEnd(const uint8_t* s, uint64_t offset, const PreviousSector& prev, GifWalk& w) {
  if (w.mode != GifWalk::Mode::kBroken) {
    const uint64_t found = WalkBlocks(s, offset, w);
    if (found || w.mode != GifWalk::Mode::kBroken) return found;
  }
  return TrailerRuleSectorEnd(s, offset, prev);
}

namespace {

bool GifSignature(const uint8_t* s) { return std::memcmp(s, "GIF8", 4) == 0; }

uint64_t GifEnd(const uint8_t* s, uint64_t, uint64_t offset, const PreviousSector& prev, FileRuleState& state,
                FileTypeMask) {
  return GifSectorEnd(s, offset, prev, state.gif);
}

}  // namespace

extern const FileFormat kGifFormat{.type = FT_GIF, .extension = "GIF", .description = 61228,
                                   .group = TypeGroup::kPicture, .signature = GifSignature, .firstBytes = "G",
                                   .sectorEnd = GifEnd};

}  // namespace lumicarve
