// Building the device table, and adding a disk image (or a device given by
// path) as a device.
#pragma once

#include <string>

#include "devices/device_table.h"

namespace lumicarve {

// Fills context.devices from the disks of /sys/block (under `sysRoot`, "/" on
// a real system), densely from slot 0; counts the disks that could not be
// opened for lack of permission in context.devicesDenied; sets the scanned
// device index to 0 when any disk is listed. With `listDenied` those disks are
// listed too, described from sysfs, without a handle and with needsAccess set;
// otherwise they are left out.
void BuildDeviceTable(DeviceTable& context, const std::string& sysRoot = "/", bool listDenied = false);

// Makes `fd`, a descriptor of the disk at `index` that another process opened
// for this one, the entry's handle, and describes the disk through it as if
// the table had opened it. The descriptor must be open read-only and refer to
// the very block device the entry names (compared by device number); anything
// else is refused. Takes ownership of `fd` either way. False with the reason
// in `error` when refused or when the disk cannot be described.
bool AdoptDeviceDescriptor(DeviceTable& context, int index, int fd, std::string* error,
                           const std::string& sysRoot = "/");

// Brings the table in line with the disks present now: a disk that went
// away is closed and taken out (except the entry at `keep`, whose results
// are still shown, and disk images), a new disk is opened and appended. The
// selected (`selected`) and scanned indices follow their entries. Returns whether the
// table changed.
bool RefreshDeviceTable(DeviceTable& context, int keep, int32_t& selected, const std::string& sysRoot = "/",
                        bool listDenied = false);

// Opens `path` read-only and appends it to the table: a regular file as a disk
// image ("[image] <file name> [<capacity>]"), a block device as a disk. Returns
// the new entry's index, or -1 with the reason in `error` (for example
// "cannot open /dev/sdz: No such file or directory", or a full table).
int AddImageDevice(DeviceTable& context, const std::string& path, std::string* error);

// The capacity in a device label: FormatSize ("315 MB", "7.9 GB").
std::string CapacityText(uint64_t bytes);

}  // namespace lumicarve
