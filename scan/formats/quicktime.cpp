// QuickTime, MP4 and 3GPP: a chain of atoms (boxes), each a 4-byte big-endian
// size and a 4-byte type. The file ends after the last atom of the unbroken
// chain of known top-level types. A size field of 1 means a 64-bit size in
// the 8 bytes after the type: how cameras write a video over 4 GiB. A size
// field of 0 means the atom runs to the end of the file: the length is then
// unknown. A size below the atom's own 8-byte header ends the chain.
#include <cstdint>

#include "scan/byte_view.h"
#include "scan/extent.h"
#include "scan/recognise.h"
#include "scan/sector_reader.h"
#include <cstring>
#include "scan/formats/registry.h"

namespace lumicarve {

uint64_t AtomWalkLength(ScanContext& context, uint64_t startSector, bool (*isAtom)(const uint8_t* type)) {
  const int fd = context.ScannedHandle();
  uint8_t buf[2 * kSectorSize];
  uint64_t loadedSector = ~uint64_t{0};
  uint32_t loadedCount = 0;
  uint64_t position = 0;
  for (;;) {
    const uint64_t sector = startSector + position / kSectorSize;
    const size_t at = position % kSectorSize;
    // A 16-byte header that crosses the sector's end needs the next sector too.
    const uint32_t need = at > kSectorSize - 16 ? 2 : 1;
    // A chain that reaches the device end claims more than the device holds.
    if (sector + need > context.ScannedSectors()) return position;
    if (sector != loadedSector || need > loadedCount) {
      if (!ReadSectors(fd, sector, need, kSectorSize, buf)) {
        context.readErrors.fetch_add(1);
        return position;
      }
      loadedSector = sector;
      loadedCount = need;
    }
    ByteView view(buf, loadedCount * kSectorSize);
    uint32_t size32 = 0;
    if (!view.u32be(at, size32) || !view.has(at + 4, 4) || !isAtom(buf + at + 4)) return position;
    uint64_t size = size32;
    if (size32 == 0) return kUnknownLength;
    if (size32 == 1) {
      if (!view.u64be(at + 8, size) || size < 16 || size >> 62) return position;
    } else if (size32 < 8) {
      return position;
    }
    position += size;
    if (size32 != 1 && (size32 & 0x80000000u)) return position;
  }
}

bool IsQuickTimeAtom(const uint8_t* type) {
  static constexpr const char* kAtoms[] = {"mdat", "moov", "free", "skip", "wide", "pnot", "ftyp"};
  for (const char* atom : kAtoms) {
    if (std::memcmp(type, atom, 4) != 0) continue;
    // Any atom but mdat must be below 16 MiB: its size's top byte is zero.
    return atom == kAtoms[0] || type[-4] == 0;
  }
  return false;
}

namespace {

bool IsFtyp(const uint8_t* s) { return std::memcmp(s + 4, "ftyp", 4) == 0; }
bool Is3gpSignature(const uint8_t* s) { return IsFtyp(s) && std::memcmp(s + 16, "3gp", 3) == 0; }
bool IsMp4Signature(const uint8_t* s) { return IsFtyp(s) && std::memcmp(s + 16, "isom", 4) == 0; }
bool IsMovSignature(const uint8_t* s) { return IsQuickTimeAtom(s + 4); }

uint64_t AtomExtent(ScanContext& context, uint64_t startSector, FileTypeMask&) {
  return AtomWalkLength(context, startSector);
}

constexpr std::string_view kAtomFirstByte("\0", 1);

}  // namespace

extern const FileFormat k3gpFormat{.type = FT_3GP, .extension = "3GP", .description = 61239,
                                   .group = TypeGroup::kVideo, .signature = Is3gpSignature,
                                   .firstBytes = kAtomFirstByte, .extent = AtomExtent};
extern const FileFormat kMp4Format{.type = FT_MP4, .extension = "MP4", .description = 61240,
                                   .group = TypeGroup::kVideo, .signature = IsMp4Signature,
                                   .firstBytes = kAtomFirstByte, .extent = AtomExtent};
// An mdat atom may be of any size, so its first byte may be anything.
extern const FileFormat kMovFormat{.type = FT_MOV, .extension = "MOV", .description = 61231,
                                   .group = TypeGroup::kVideo, .signature = IsMovSignature,
                                   .firstBytes = kAtomFirstByte, .fifthBytes = "m", .extent = AtomExtent};

}  // namespace lumicarve
