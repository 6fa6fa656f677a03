// Texts that describe a device entry to the user: its transport, its known
// features, and why the list may be shorter than the machine's disks.
#pragma once

#include <string>

#include "devices/device_table.h"

namespace lumicarve {

// "none", "SMART requests", "ATA pass-through", "SAT ATA pass-through (12)",
// "USB bridge (DFh)", "USB bridge (F8h)".
const char* TransportName(int32_t transport);

// "SMART", "48-bit addressing", ... in the order of AtaFeature.
const char* FeatureName(int feature);

// The features whose support is known, as "SMART yes, security no, ...";
// empty when none is known.
std::string KnownFeaturesText(const DeviceEntry& entry);

// "2 disks could not be opened (permission denied)." and, unless the program
// already runs as root, the advice to run the command line with sudo: it
// opens devices directly. Empty for a count of 0.
std::string DeniedDevicesText(int count, bool runningAsRoot);

}  // namespace lumicarve
