// GIF: the block walk from the logical screen descriptor to the trailer 3B,
// which ends the file exactly. Where the chain breaks, the trailer counts only
// after a zero byte (the last block terminator) and when followed by zeros to
// the end of its sector.
#include <cstring>

#include "scan/formats/end_rules.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

// The size in bytes of the colour table a packed field announces.
uint64_t ColourTable(uint8_t packed) { return packed & 0x80 ? 3u << ((packed & 7) + 1) : 0; }

std::optional<uint64_t> TrailerRuleSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev) {
  // Every byte after the trailer is zero, so it can only be the sector's last
  // non-zero byte.
  size_t k = kRuleSectorBytes;
  while (k > 0 && s.byte(k - 1) == 0) --k;
  if (k == 0 || s.byte(k - 1) != 0x3B) return std::nullopt;
  const uint8_t before = k == 1 ? prev.last : s.byte(k - 2);
  if (before != 0) return std::nullopt;
  return offset + k;
}

// Follows the blocks through this sector: the file's length when the trailer
// is here; nothing to go on, or when the walk is marked broken.
std::optional<uint64_t> WalkBlocks(const ByteView& s, uint64_t offset, GifWalk& w) {
  using Mode = GifWalk::Mode;
  if (offset == 0) w.next = 13 + ColourTable(s.byte(10));  // header and logical screen descriptor
  if (w.next < offset) {
    w.mode = Mode::kBroken;
    return std::nullopt;
  }
  while (w.next < offset + kRuleSectorBytes) {
    const size_t k = static_cast<size_t>(w.next - offset);
    const uint8_t b = s.byte(k);
    if (w.mode == Mode::kSubBlocks) {
      if (b == 0) w.mode = Mode::kBlock;
      w.next += 1 + b;
      continue;
    }
    switch (b) {
      case 0x3B:
        return w.next + 1;
      case 0x21:  // extension: introducer, label, sub-blocks
        w.next += 2;
        break;
      case 0x2C:  // image: descriptor, local colour table, LZW code size, sub-blocks
        w.next += 10 + ColourTable(s.byte(k + 9)) + 1;
        break;
      default:
        w.mode = Mode::kBroken;
        return std::nullopt;
    }
    w.mode = Mode::kSubBlocks;
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint64_t> GifSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev, GifWalk& w) {
  if (w.mode != GifWalk::Mode::kBroken) {
    const std::optional<uint64_t> found = WalkBlocks(s, offset, w);
    if (found || w.mode != GifWalk::Mode::kBroken) return found;
  }
  return TrailerRuleSectorEnd(s, offset, prev);
}

namespace {

bool GifSignature(const ByteView& s) { return s.equals(0, "GIF8", 4); }

std::optional<uint64_t> GifEnd(const ByteView& s, uint64_t, uint64_t offset, const PreviousSector& prev,
                               FileRuleState& state, FileTypeMask) {
  return GifSectorEnd(s, offset, prev, state.gif);
}

}  // namespace

extern const FileFormat kGifFormat{.type = FT_GIF, .extension = "GIF", .description = 61228,
                                   .group = TypeGroup::kPicture, .signature = GifSignature, .firstBytes = "G",
                                   .sectorEnd = GifEnd};

}  // namespace lumicarve
