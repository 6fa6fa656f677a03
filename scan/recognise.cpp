// Signature tests on the first bytes of a sector, in a fixed order: the first
// enabled test that matches decides, so ftyp-headed files fall to the most
// specific enabled type (3GP, then MP4, then any QuickTime atom).
#include "scan/recognise.h"

#include <array>
#include <cstring>

namespace lumicarve {
namespace {

bool Is(const uint8_t* p, const char* text, size_t n) { return std::memcmp(p, text, n) == 0; }

uint32_t U32le(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// First bytes that some signature can start with. Only an "mdat" atom and a
// transport stream (its first 4 bytes are a time stamp) may start with any
// byte, so a sector whose first byte is not here, whose bytes 4 to 7 are not
// "mdat" and whose byte 4 is not a sync byte starts no file: most sectors
// end here.
constexpr auto kFirstBytes = [] {
  std::array<bool, 256> t{};
  for (int b : {0xFF, 0x89, int{'G'}, int{'B'}, int{'I'}, int{'M'}, int{'R'}, 0x00, 0x30}) t[size_t(b)] = true;
  return t;
}();

// A transport-stream packet (188 bytes from its sync byte) that starts the
// program association table: PID 0 with the unit-start flag, a payload after
// any adaptation field, and there pointer field, table id 0 and the section
// syntax bits.
bool IsPatPacket(const uint8_t* p) {
  if (p[0] != 0x47 || (p[1] & 0x5F) != 0x40 || p[2] != 0 || !(p[3] & 0x10)) return false;
  size_t at = 4;
  if (p[3] & 0x20) at += 1 + size_t{p[4]};
  if (at >= 188) return false;
  at += 1 + size_t{p[at]};
  return at + 1 < 188 && p[at] == 0 && (p[at + 1] & 0xF0) == 0xB0;
}

// 192-byte packets (a 4-byte arrival time stamp, then the TS packet): the
// sync byte in each of the three packets the sector begins with, and the
// table of programs in the first or the second. The time stamp may have any
// value: a recording split into several files starts mid-clock.
bool IsTimestampedTransportStream(const uint8_t* s) {
  return s[4] == 0x47 && s[196] == 0x47 && s[388] == 0x47 && (IsPatPacket(s + 4) || IsPatPacket(s + 196));
}

}  // namespace

bool IsQuickTimeAtom(const uint8_t* type) {
  static constexpr const char* kAtoms[] = {"mdat", "moov", "free", "skip", "wide", "pnot", "ftyp"};
  for (const char* atom : kAtoms) {
    if (!Is(type, atom, 4)) continue;
    // Any atom but mdat must be below 16 MiB: its size's top byte is zero.
    return atom == kAtoms[0] || type[-4] == 0;
  }
  return false;
}

FileTypeMask RecogniseSector(const uint8_t* s, FileTypeMask enabledMask) {
  const uint32_t enabled = static_cast<uint32_t>(enabledMask);
  if (!kFirstBytes[s[0]] && !Is(s + 4, "mdat", 4) && s[4] != 0x47) return 0;
  if ((enabled & FT_JPG) && s[0] == 0xFF && s[1] == 0xD8 && (Is(s + 6, "JFIF", 4) || Is(s + 6, "Exif", 4)))
    return FT_JPG;
  if ((enabled & FT_PNG) && s[0] == 0x89 && Is(s + 1, "PNG", 3)) return FT_PNG;
  if ((enabled & FT_GIF) && Is(s, "GIF8", 4)) return FT_GIF;
  if ((enabled & FT_BMP) && Is(s, "BM", 2) && s[14] == 0x28 && s[15] == 0 && s[16] == 0 && s[17] == 0)
    return FT_BMP;
  if ((enabled & kTiffFamily) && (Is(s, "II*\0", 4) || Is(s, "MM\0*", 4) || Is(s, "IIRO", 4) ||
                                  Is(s, "IIU\0", 4)))
    return FT_TIF;
  const bool ftyp = Is(s + 4, "ftyp", 4);
  if ((enabled & FT_3GP) && ftyp && Is(s + 16, "3gp", 3)) return FT_3GP;
  if ((enabled & FT_MP4) && ftyp && Is(s + 16, "isom", 4)) return FT_MP4;
  if ((enabled & FT_MOV) && IsQuickTimeAtom(s + 4)) return FT_MOV;
  if ((enabled & FT_AVI) && Is(s, "RIFF", 4) && Is(s + 8, "AVI", 3)) return FT_AVI;
  if ((enabled & FT_MPG) && s[0] == 0 && s[1] == 0 && s[2] == 1 && (s[3] == 0xB3 || s[3] == 0xBA))
    return FT_MPG;
  if ((enabled & FT_MTS) && IsTimestampedTransportStream(s)) return FT_MTS;
  if ((enabled & (FT_WMV | FT_ASF)) && U32le(s) == 0x75B22630) return FT_ASF;
  return 0;
}

}  // namespace lumicarve
