// Signature recognition: is this 512-byte sector the first sector of a
// supported file, and of which type?
#pragma once

#include <cstdint>

#include "scan/byte_view.h"
#include "scan/file_types.h"

namespace lumicarve {

// Looks at `sector`'s 512 bytes only: most tests at its first 20, a transport
// stream at its first three 192-byte packets. Returns one type bit, or 0.
FileTypeMask RecogniseSector(const uint8_t* sector, FileTypeMask enabled);

// Whether the atom header at `at` of `v` (a 4-byte big-endian size, then the
// 4-byte type) is one of the top-level QuickTime atoms.
bool IsQuickTimeAtom(const ByteView& v, size_t at);

}  // namespace lumicarve
