// Signature recognition: is this 512-byte sector the first sector of a
// supported file, and of which type?
#pragma once

#include <cstdint>

#include "scan/file_types.h"

namespace lumicarve {

// Looks at `sector`'s 512 bytes only: most tests at its first 20, a transport
// stream at its first three 192-byte packets. Returns one type bit, or 0.
FileTypeMask RecogniseSector(const uint8_t* sector, FileTypeMask enabled);

// `type` points at the 4-byte type of an atom whose big-endian size lies in
// the 4 bytes before it.
bool IsQuickTimeAtom(const uint8_t* type);

}  // namespace lumicarve
