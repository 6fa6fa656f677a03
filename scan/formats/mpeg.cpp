// MPEG program and elementary streams: the end code 00 00 01 B7 (sequence end)
// or 00 00 01 B9 (program end), unless another start code follows at once.
// Streams without an end code are closed by MpegTracker after a long run of
// sectors with no start code at all.
#include <cstring>

#include "scan/formats/end_rules.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

bool IsEndCode(uint8_t b) { return b == 0xB7 || b == 0xB9; }

// Calls f(n, id) for every 00 00 01 prefix starting at offsets 0..511 of s
// (its id byte may lie in the next sector), until f returns false.
template <typename F>
void ForEachStartCode(const uint8_t* s, F f) {
  size_t from = 2;
  while (from < 514) {
    const void* one = std::memchr(s + from, 0x01, 514 - from);
    if (!one) return;
    const size_t i = static_cast<size_t>(static_cast<const uint8_t*>(one) - s);
    if (s[i - 1] == 0 && s[i - 2] == 0 && !f(i - 2, s[i + 1])) return;
    from = i + 1;
  }
}

}  // namespace

uint64_t MpegSectorEnd(const uint8_t* s, uint64_t offset, const PreviousSector& prev) {
  const uint32_t last3 = prev.last4 & 0xFFFFFF;
  if (last3 == 0x000001 && IsEndCode(s[0])) return offset + 1;
  if ((last3 & 0xFFFF) == 0 && s[0] == 1 && IsEndCode(s[1])) return offset + 2;
  if ((last3 & 0xFF) == 0 && s[0] == 0 && s[1] == 1 && IsEndCode(s[2])) return offset + 3;
  uint64_t found = 0;
  ForEachStartCode(s, [&](size_t n, uint8_t id) {
    if (!IsEndCode(id)) return true;
    found = offset + n + 4;
    if (n < 508 && s[n + 4] == 0 && s[n + 5] == 0 && s[n + 6] == 1) {
      found = 0;
      return true;
    }
    return false;
  });
  return found;
}

void MpegTracker::Start(uint64_t sector, bool packHeader) {
  *this = MpegTracker{};
  packStream = packHeader;
  lastPrefix = lastHeader = sector;
}

void MpegTracker::Observe(const uint8_t* s, uint64_t sector, bool signatureIgnored) {
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
  if (header) {
    lastHeader = sector;
    haveIgnored = false;
  }
  if (signatureIgnored && !haveIgnored && sector > lastHeader) {
    ignoredSignature = sector;
    haveIgnored = true;
  }
}

bool MpegTracker::Ended(uint64_t& endSector) const {
  if (quietSectors < kQuietLimit) return false;
  endSector = haveIgnored ? ignoredSignature : lastPrefix + 1;
  return true;
}

namespace {

// A pack header or a sequence header.
bool MpegSignature(const uint8_t* s) { return s[0] == 0 && s[1] == 0 && s[2] == 1 && (s[3] == 0xB3 || s[3] == 0xBA); }

void MpegBegin(FileRuleState& state, uint64_t sector, const uint8_t* s) { state.mpeg.Start(sector, s[3] == 0xBA); }

uint64_t MpegEnd(const uint8_t* s, uint64_t sector, uint64_t offset, const PreviousSector& prev,
                 FileRuleState& state, bool signatureIgnored) {
  const uint64_t found = MpegSectorEnd(s, offset, prev);
  if (found) return found;
  state.mpeg.Observe(s, sector, signatureIgnored);
  uint64_t end = 0;
  if (!state.mpeg.Ended(end)) return 0;
  const uint64_t start = sector - offset / 512;
  return (end - start) * 512;
}

}  // namespace

// Signatures inside a stream are its own packets: they never close it.
extern const FileFormat kMpegFormat{.type = FT_MPG, .extension = "MPG", .description = 61232,
                                    .group = TypeGroup::kVideo, .signature = MpegSignature,
                                    .firstBytes = std::string_view("\0", 1), .sectorEnd = MpegEnd,
                                    .begin = MpegBegin, .signaturesIgnoredBelow = UINT64_MAX};

}  // namespace lumicarve
