// Reading TIFF IFD entries: 12 bytes each (tag, field type, count, value or
// offset), every field in the file's byte order.
#pragma once

#include <cstdint>
#include "scan/byte_view.h"

namespace lumicarve {

inline constexpr int kMaxIfdEntries = 200;
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

}  // namespace lumicarve
