// MPEG program and elementary streams: the end code 00 00 01 B7 (sequence end)
// or 00 00 01 B9 (program end), unless another start code follows at once.
// A program stream is walked pack by pack to the end of its structure; an
// elementary stream without an end code is closed by MpegTracker after a long
// run of sectors with no start code at all.
#include <algorithm>
#include <cstring>

#include "scan/formats/end_rules.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

bool IsEndCode(uint8_t b) { return b == 0xB7 || b == 0xB9; }

// Calls f(n, id) for every 00 00 01 prefix starting at offsets 0..511 of s
// (its last bytes may lie in the look-ahead), until f returns false.
template <typename F>
void ForEachStartCode(const ByteView& s, F f) {
  constexpr size_t kPrefixEnds = kRuleSectorBytes + 2;  // the 01 of a prefix starting at 511
  size_t from = 2;
  while (const std::optional<size_t> one = s.find(from, kPrefixEnds, uint8_t{0x01})) {
    const size_t i = *one;
    if (s.byte(i - 1) == 0 && s.byte(i - 2) == 0 && !f(i - 2, s.byte(i + 1))) return;
    from = i + 1;
  }
}

}  // namespace

std::optional<uint64_t> MpegSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev) {
  const uint32_t last3 = prev.last4 & 0xFFFFFF;
  if (last3 == 0x000001 && IsEndCode(s.byte(0))) return offset + 1;
  if ((last3 & 0xFFFF) == 0 && s.byte(0) == 1 && IsEndCode(s.byte(1))) return offset + 2;
  if ((last3 & 0xFF) == 0 && s.byte(0) == 0 && s.byte(1) == 1 && IsEndCode(s.byte(2))) return offset + 3;
  std::optional<uint64_t> found;
  ForEachStartCode(s, [&](size_t n, uint8_t id) {
    if (!IsEndCode(id)) return true;
    // Another start code at once: the stream goes on.
    if (n < 508 && s.equals(n + 4, "\0\0\1", 3)) return true;
    found = offset + n + 4;
    return false;
  });
  return found;
}

void MpegTracker::Start(uint64_t sector, bool packHeader) {
  *this = MpegTracker{};
  packStream = packHeader;
  walkBroken = !packHeader;
  lastPrefix = lastHeader = lastBusy = sector;
}

std::optional<uint64_t> MpegTracker::WalkPacks(const ByteView& s, uint64_t offset) {
  if (walkBroken) return std::nullopt;
  if (nextCode < offset) {
    walkBroken = true;
    return std::nullopt;
  }
  while (nextCode < offset + kRuleSectorBytes) {
    const size_t k = static_cast<size_t>(nextCode - offset);
    const uint8_t id = s.byte(k + 3);
    uint64_t length = 0;
    if (!s.equals(k, "\0\0\1", 3)) {
      length = 0;
    } else if (id == 0xB9) {
      return nextCode + 4;  // program end
    } else if (id == 0xBA) {
      uint64_t h[5];
      for (size_t i = 0; i < 5; ++i) h[i] = s.byte(k + 4 + i);
      uint64_t scr = 0;
      if ((h[0] & 0xC0) == 0x40) {  // MPEG-2, with its stuffing
        length = 14 + (s.byte(k + 13) & 7);
        scr = (h[0] >> 3 & 7) << 30 | (h[0] & 3) << 28 | h[1] << 20 | (h[2] >> 3) << 15 | (h[2] & 3) << 13 |
              h[3] << 5 | h[4] >> 3;
      } else if ((h[0] & 0xF0) == 0x20) {  // MPEG-1
        length = 12;
        scr = (h[0] >> 1 & 7) << 30 | h[1] << 22 | (h[2] >> 1) << 15 | h[3] << 7 | h[4] >> 1;
      }
      // The system clock never runs backwards inside one stream: a pack whose
      // clock does starts another recording.
      if (length && packets && scr < clock) {
        walkBroken = true;
        return nextCode;
      }
      clock = scr;
    } else if (id >= 0xBB) {
      length = 6 + (uint64_t{s.byte(k + 4)} << 8 | s.byte(k + 5));  // system header and PES packets
      ++packets;
    }
    if (length == 0) {
      // The structure stops here. Before any packet it was no stream at all.
      walkBroken = true;
      if (!packets) return std::nullopt;
      return nextCode;
    }
    nextCode += length;
  }
  return std::nullopt;
}

void MpegTracker::Observe(const ByteView& s, uint64_t sector, bool signatureIgnored) {
  bool prefix = false, header = false;
  ForEachStartCode(s, [&](size_t, uint8_t id) {
    if (packStream) {
      prefix = prefix || id >= 0xB9;
      header = header || id == 0xBA;
    } else {
      prefix = true;
      header = header || id == 0xB3 || id == 0xB8;
    }
    return !(prefix && header);
  });
  if (prefix) {
    lastPrefix = sector;
    quietSectors = 0;
  } else {
    ++quietSectors;
  }
  // A header in a later sector shows the stream went on past an ignored
  // signature; one in the signature's own sector does not.
  if (header) {
    lastHeader = sector;
    haveIgnored = false;
  }
  if (signatureIgnored && !haveIgnored) {
    ignoredSignature = sector;
    haveIgnored = true;
  }
  if (!haveIgnored && !s.zeros(0, kRuleSectorBytes)) lastBusy = sector;
}

bool MpegTracker::Ended(uint64_t& endSector) const {
  if (quietSectors < kQuietLimit) return false;
  endSector = haveIgnored ? lastBusy + 1 : lastPrefix + 1;
  return true;
}

namespace {

// A pack header or a sequence header.
bool MpegSignature(const ByteView& s) {
  return s.equals(0, "\0\0\1", 3) && (s.byte(3) == 0xB3 || s.byte(3) == 0xBA);
}

void MpegBegin(FileRuleState& state, uint64_t sector, const ByteView& s) { state.mpeg.Start(sector, s.byte(3) == 0xBA); }

std::optional<uint64_t> MpegEnd(const ByteView& s, uint64_t sector, uint64_t offset, const PreviousSector& prev,
                                FileRuleState& state, FileTypeMask ignored) {
  MpegTracker& mpeg = state.mpeg;
  const uint64_t start = sector - offset / kRuleSectorBytes;
  std::optional<uint64_t> found = mpeg.WalkPacks(s, offset);
  mpeg.Observe(s, sector, ignored && ignored != FT_MPG);
  uint64_t end = 0;
  if (!found && mpeg.walkBroken) {
    found = MpegSectorEnd(s, offset, prev);
    if (!found && mpeg.Ended(end)) found = (end - start) * kRuleSectorBytes;
  }
  // A stream never ends inside or after a sector where another file starts.
  if (found && mpeg.haveIgnored) found = std::min(*found, (mpeg.ignoredSignature - start) * kRuleSectorBytes);
  return found;
}

}  // namespace

// Signatures inside a stream are its own packets: they never close it.
extern const FileFormat kMpegFormat{.type = FT_MPG, .extension = "MPG", .description = 61232,
                                    .group = TypeGroup::kVideo, .signature = MpegSignature,
                                    .firstBytes = std::string_view("\0", 1), .sectorEnd = MpegEnd,
                                    .begin = MpegBegin, .signaturesIgnoredBelow = UINT64_MAX};

}  // namespace lumicarve
