// QuickTime, MP4 and 3GPP: a chain of atoms (boxes), each a 4-byte big-endian
// size and a 4-byte type. The file ends after the last atom of the unbroken
// chain of known top-level types. A size field of 1 means a 64-bit size in
// the 8 bytes after the type: how cameras write a video over 4 GiB. A size
// field of 0 means the atom runs to the end of the file: the length is then
// unknown. A size below the atom's own 8-byte header ends the chain.
#include <cstdint>
#include <cstring>

#include "scan/byte_view.h"
#include "scan/extent.h"
#include "scan/formats/registry.h"
#include "scan/recognise.h"
#include "scan/sector_reader.h"

namespace lumicarve {

Extent AtomWalkExtent(ScanContext& context, uint64_t startSector, bool (*isAtom)(const ByteView& v, size_t at)) {
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
    if (sector + need > context.ScannedSectors()) return Extent::Claim(position);
    if (sector != loadedSector || need > loadedCount) {
      if (!ReadStartSectors(context, sector, need, buf)) return Extent::Claim(position);
      loadedSector = sector;
      loadedCount = need;
    }
    const ByteView view(buf, loadedCount * kSectorSize);
    uint32_t size32 = 0;
    if (!view.u32be(at, size32) || !isAtom(view, at)) return Extent::Claim(position);
    uint64_t size = size32;
    if (size32 == 0) return Extent::OpenEnded();
    if (size32 == 1) {
      if (!view.u64be(at + 8, size) || size < 16 || size >> 62) return Extent::Claim(position);
    } else if (size32 < 8) {
      return Extent::Claim(position);
    }
    position += size;
    if (size32 != 1 && (size32 & 0x80000000u)) return Extent::Claim(position);
  }
}

bool IsQuickTimeAtom(const ByteView& v, size_t at) {
  static constexpr const char* kAtoms[] = {"mdat", "moov", "free", "skip", "wide", "pnot", "ftyp"};
  for (const char* atom : kAtoms) {
    if (!v.equals(at + 4, atom, 4)) continue;
    // Any atom but mdat must be below 16 MiB: its size's top byte is zero.
    return atom == kAtoms[0] || v.byte(at) == 0;
  }
  return false;
}

namespace {

bool IsFtyp(const ByteView& s) { return s.equals(4, "ftyp", 4); }
bool Is3gpSignature(const ByteView& s) { return IsFtyp(s) && s.equals(16, "3gp", 3); }
bool IsMp4Signature(const ByteView& s) { return IsFtyp(s) && s.equals(16, "isom", 4); }
bool IsMovSignature(const ByteView& s) { return IsQuickTimeAtom(s, 0); }

Extent AtomExtent(ScanContext& context, uint64_t startSector, FileTypeMask&) {
  return AtomWalkExtent(context, startSector);
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
