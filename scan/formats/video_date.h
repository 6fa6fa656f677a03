// The capture date a video's container records.
#pragma once

#include <cstdint>

#include "scan/file_types.h"

namespace lumicarve {

// Reads the creation time of a QuickTime/MP4/3GPP, ASF/WMV or AVI file from
// the device into `filetime`. False for other types, for a container that
// records none, and when the bytes cannot be read.
bool ReadVideoDate(int handle, const FoundFile& file, uint64_t& filetime);

}  // namespace lumicarve
