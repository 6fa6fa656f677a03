// AVCHD: 192-byte packets, a 4-byte time code and a 188-byte transport-stream
// packet whose first byte is the sync byte 47. The stream ends at the first
// packet that has lost its sync byte.
#include "scan/formats/end_rules.h"

namespace lumicarve {

uint64_t AvchdSectorEnd(const uint8_t* s, uint64_t offset, uint64_t& packetOffset) {
  // Packets that begin before this sector were examined with their own sector.
  if (packetOffset < offset) packetOffset += (offset - packetOffset + 191) / 192 * 192;
  for (; packetOffset < offset + 512; packetOffset += 192) {
    const uint64_t j = packetOffset - offset;
    if (s[j + 4] != 0x47) return offset + j;
  }
  return 0;
}

}  // namespace lumicarve
