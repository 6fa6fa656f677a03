// Building the device table, and adding a disk image (or a device given by
// path) as a device.
#pragma once

#include <string>

#include "devices/device_table.h"

namespace lumicarve {

// Fills table.devices from the disks of /sys/block (under `sysRoot`, "/" on
// a real system), densely from slot 0; counts the disks left out for lack of
// permission in table.devicesDenied; sets the scanned device index to 0 when
// any disk is listed.
void BuildDeviceTable(DeviceTable& table, const std::string& sysRoot = "/");

// Opens `path` read-only and appends it to the table: a regular file as a disk
// image ("[image] <file name> [<capacity>]"), a block device as a disk. Returns
// the new entry's index, or -1 with the reason in `error` (for example
// "cannot open /dev/sdz: No such file or directory", or a full table).
int AddImageDevice(DeviceTable& table, const std::string& path, std::string* error);

// "%d MB" up to 1,000,000,000 bytes, else "%d GB", both decimal and truncated.
std::string CapacityText(uint64_t bytes);

}  // namespace lumicarve
