// AVCHD: 192-byte packets, a 4-byte time code and a 188-byte transport-stream
// packet whose first byte is the sync byte 47. The stream ends at the last
// packet in a sector that has lost its sync byte.
#include "scan/formats/end_rules.h"
#include "scan/formats/registry.h"

namespace lumicarve {

uint64_t AvchdSectorEnd(const uint8_t* s, uint64_t offset, uint64_t& packetOffset) {
  uint64_t found = 0;
  // Packets that begin before this sector were examined with their own sector.
  if (packetOffset < offset) packetOffset += (offset - packetOffset + 191) / 192 * 192;
  for (; packetOffset < offset + 512; packetOffset += 192) {
    const uint64_t j = packetOffset - offset;
    if (s[j + 4] != 0x47) found = offset + j;
  }
  return found;
}

namespace {

// A 4-byte time code of 00 00 xx xx, then a transport-stream packet with the
// payload start flag on PID 0 (the program association table).
bool AvchdSignature(const uint8_t* s) {
  return s[0] == 0 && s[1] == 0 && s[4] == 0x47 && s[5] == 0x40 && s[6] == 0 && s[7] == 0x10 && s[8] == 0 &&
         s[9] == 0 && (s[10] & 0xF0) == 0xB0;
}

uint64_t AvchdEnd(const uint8_t* s, uint64_t, uint64_t offset, const PreviousSector&, FileRuleState& state, bool) {
  return AvchdSectorEnd(s, offset, state.avchdOffset);
}

}  // namespace

extern const FileFormat kAvchdFormat{.type = FT_MTS, .extension = "MTS", .description = 61236,
                                     .group = TypeGroup::kVideo, .signature = AvchdSignature,
                                     .firstBytes = std::string_view("\0", 1), .sectorEnd = AvchdEnd,
                                     .signaturesIgnoredBelow = UINT64_MAX};

}  // namespace lumicarve
