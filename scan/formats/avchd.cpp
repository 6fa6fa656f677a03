// AVCHD: 192-byte packets, a 4-byte time code and a 188-byte transport-stream
// packet whose first byte is the sync byte 47. The stream ends at the first
// packet that has lost its sync byte.
#include <cstddef>

#include "scan/formats/end_rules.h"
#include "scan/formats/registry.h"

namespace lumicarve {

std::optional<uint64_t> AvchdSectorEnd(const ByteView& s, uint64_t offset, uint64_t& packetOffset) {
  // Packets that begin before this sector were examined with their own sector;
  // the sync byte of one that begins near its end lies in the look-ahead.
  if (packetOffset < offset) packetOffset += (offset - packetOffset + 191) / 192 * 192;
  for (; packetOffset < offset + kRuleSectorBytes; packetOffset += 192) {
    const size_t j = static_cast<size_t>(packetOffset - offset);
    if (s.byte(j + 4) != 0x47) return packetOffset;
  }
  return std::nullopt;
}

namespace {

// A transport-stream packet (188 bytes from its sync byte) that starts the
// program association table: PID 0 with the unit-start flag, a payload after
// any adaptation field, and there pointer field, table id 0 and the section
// syntax bits.
bool IsPatPacket(const ByteView& s, size_t p) {
  if (!s.has(p, 188)) return false;
  if (s.byte(p) != 0x47 || (s.byte(p + 1) & 0x5F) != 0x40 || s.byte(p + 2) != 0 || !(s.byte(p + 3) & 0x10))
    return false;
  size_t at = 4;
  if (s.byte(p + 3) & 0x20) at += 1 + size_t{s.byte(p + 4)};
  if (at >= 188) return false;
  at += 1 + size_t{s.byte(p + at)};
  return at + 1 < 188 && s.byte(p + at) == 0 && (s.byte(p + at + 1) & 0xF0) == 0xB0;
}

// 192-byte packets (a 4-byte arrival time stamp, then the TS packet): the
// sync byte in each of the three packets the sector begins with, and the
// table of programs in the first or the second. The time stamp may have any
// value: a recording split into several files starts mid-clock.
bool IsTimestampedTransportStream(const ByteView& s) {
  return s.byte(4) == 0x47 && s.byte(196) == 0x47 && s.byte(388) == 0x47 && (IsPatPacket(s, 4) || IsPatPacket(s, 196));
}

std::optional<uint64_t> AvchdEnd(const ByteView& s, uint64_t, uint64_t offset, const PreviousSector&,
                                 FileRuleState& state, FileTypeMask ignored) {
  const std::optional<uint64_t> found = AvchdSectorEnd(s, offset, state.avchdOffset);
  // Another file's first sector is never part of the stream that ends in it.
  if (found && *found > offset && ignored && ignored != FT_MTS) return offset;
  return found;
}

}  // namespace

extern const FileFormat kAvchdFormat{.type = FT_MTS, .extension = "MTS", .description = 61236,
                                     .group = TypeGroup::kVideo, .signature = IsTimestampedTransportStream,
                                     .fifthBytes = "\x47", .sectorEnd = AvchdEnd,
                                     .signaturesIgnoredBelow = UINT64_MAX};

}  // namespace lumicarve
