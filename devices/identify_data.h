// The 512-byte answer to IDENTIFY DEVICE turned into a drive's description.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devices/device_table.h"

namespace lumicarve {

inline constexpr size_t kIdentifyBytes = 512;

// Fills the identification fields of `entry` (serial number, firmware revision
// in place of the revision, buffer size, feature flags, rotation rate, erase
// time, standard text, highest and selected transfer mode texts). The model is
// left as it is.
void ParseIdentifyData(const uint8_t data[kIdentifyBytes], DeviceEntry& entry);

// Copies `count` bytes of device text into `out` (size `outSize`, always
// NUL-terminated), replacing bytes that are not printable ASCII by '?' and
// removing trailing blanks.
void CopyDeviceText(const char* text, size_t count, char* out, size_t outSize);

}  // namespace lumicarve
