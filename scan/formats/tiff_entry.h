// Reading TIFF IFD entries: 12 bytes each (tag, field type, count, value or
// offset), every field in the file's byte order.
#pragma once

#include <cstdint>
#include <vector>

#include "scan/sector_reader.h"

#include "scan/byte_view.h"

namespace lumicarve {

inline constexpr int kMaxIfdEntries = 200;
// An IFD of 200 entries that starts at the last byte of a sector still lies
// inside this many sectors: 511 + 2 + 12 * 200 + 4 bytes.
inline constexpr uint32_t kIfdReadSectors = 6;
inline constexpr int kMaxIfdChain = 256;
inline constexpr int kMaxSubIfdDepth = 3;

struct TiffEntry {
  uint16_t tag = 0;
  uint16_t fieldType = 0;
  uint32_t count = 0;
  uint32_t value = 0;  // the value itself when it fits in 4 bytes, else the offset of the values
};

// Bytes per value of a field type, 0 for an unknown type.
inline uint32_t TiffTypeSize(uint16_t fieldType) {
  switch (fieldType) {
    case 1: case 2: case 6: case 7: return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                  // SHORT, SSHORT
    case 4: case 9: case 11: case 13: return 4;  // LONG, SLONG, FLOAT, IFD
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;  // RATIONAL..., LONG8
    default: return 0;
  }
}

// True when the entry's values lie outside the entry (more than 4 bytes).
inline bool TiffValuesOutOfLine(const TiffEntry& e) {
  uint32_t size = TiffTypeSize(e.fieldType);
  return size != 0 && e.count > 4 / size;
}

// Reads entry `index` of the IFD at `ifd` in `bytes`. A single SHORT value
// sits in the first two bytes of the value field: read as a 32-bit word in a
// big-endian file it would be 65,536 times too large.
inline bool ReadTiffEntry(const ByteView& bytes, size_t ifd, int index, bool bigEndian, TiffEntry& e) {
  size_t off = ifd + 2 + size_t(index) * 12;
  if (!bytes.u16(off, bigEndian, e.tag) || !bytes.u16(off + 2, bigEndian, e.fieldType) ||
      !bytes.u32(off + 4, bigEndian, e.count) || !bytes.u32(off + 8, bigEndian, e.value))
    return false;
  if (e.fieldType == 3 && e.count == 1) {
    uint16_t v = 0;
    bytes.u16(off + 8, bigEndian, v);
    e.value = v;
  }
  return true;
}

// Number of sectors to read for an IFD at sector `sector` so that 200 entries
// fit, without asking past `limit` (the device's end).
inline uint32_t IfdSectorsToRead(uint64_t sector, uint64_t limit) {
  if (sector >= limit) return 1;  // refused by the reader: the walk ends there
  uint64_t left = limit - sector;
  return left < kIfdReadSectors ? static_cast<uint32_t>(left) : kIfdReadSectors;
}

// The SubIFD offsets of a tag 330 entry: the value itself for a count of 1,
// else the array it points at, read in one piece. Empty when the array cannot
// be read or is larger than any IFD could be.
inline std::vector<uint32_t> SubIfdOffsets(int fd, uint64_t start, const TiffEntry& e, bool bigEndian) {
  if (e.count == 1) return {e.value};
  if (e.count == 0 || e.count > kMaxIfdEntries) return {};
  const uint64_t first = e.value / kSectorSize;
  const uint64_t end = uint64_t{e.value} + uint64_t{e.count} * 4;
  const uint32_t sectors = static_cast<uint32_t>((end + kSectorSize - 1) / kSectorSize - first);
  std::vector<uint8_t> buf(size_t{sectors} * kSectorSize);
  if (!ReadSectors(fd, start + first, sectors, kSectorSize, buf.data())) return {};
  const ByteView view(buf.data(), buf.size());
  std::vector<uint32_t> offsets;
  for (uint32_t i = 0; i < e.count; ++i) {
    uint32_t offset = 0;
    if (!view.u32(e.value % kSectorSize + size_t{i} * 4, bigEndian, offset)) break;
    offsets.push_back(offset);
  }
  return offsets;
}

}  // namespace lumicarve
