// Building the device table, and adding a disk image (or a device given by
// path) as a device.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "devices/device_table.h"
#include "devices/disk_enum.h"
#include "text/text_format.h"

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

// The steps of AdoptDeviceDescriptor. The check (cheap) refuses, closing
// `fd`, what AdoptDeviceDescriptor refuses, and otherwise names the disk.
// The description (a blocking call) gives the entry holding `fd`, or nothing,
// `fd` closed, when the disk holds no medium that can be read. Placing it
// replaces the entry of the same path still waiting for access and returns
// its index; with none (the table changed meanwhile) it closes the handle: -1.
std::optional<BlockDisk> CheckAdoptedDescriptor(const DeviceTable& context, int index, int fd,
                                                std::string* error, const std::string& sysRoot = "/");
std::optional<DeviceEntry> DescribeAdoptedDisk(const BlockDisk& disk, int fd, const std::string& sysRoot = "/");
int PlaceAdoptedEntry(DeviceTable& context, const DeviceEntry& described);

// Brings the table in line with the disks present now: a disk that went
// away is closed and taken out (except the entry at `keep`, whose results
// are still shown, and disk images), a new disk is opened and appended. The
// selected (`selected`) and scanned indices follow their entries. Returns whether the
// table changed.
bool RefreshDeviceTable(DeviceTable& context, int keep, int32_t& selected, const std::string& sysRoot = "/",
                        bool listDenied = false);

// The steps of the two above, for a caller that describes disks on worker
// threads and brings the results into the table on its own thread.

// Opens and describes one disk of the listing (a blocking call: it sends the
// disk its identification commands). The entry holds a read-only handle; a
// disk this user may not open sets `*denied` and, with `listDenied`, comes
// back described from sysfs without a handle and with needsAccess set.
// Nothing when the disk is not to be listed.
std::optional<DeviceEntry> DescribeBlockDisk(const BlockDisk& disk, const std::string& sysRoot, bool listDenied,
                                             bool* denied = nullptr);

// Takes the disks that are not in `present` out of the table and closes them,
// except the entry at `keep` and disk images; the slots close up and the
// selected and scanned indices follow their entries (a selected disk that
// went away gives 0). Counts the entries waiting for access again. Returns
// whether an entry left.
bool RemoveAbsentDisks(DeviceTable& context, const std::vector<BlockDisk>& present, int keep, int32_t& selected);

// Puts `entry` into the table at `position` (clamped to the end); the entries
// from there on move up one slot and the selected and scanned indices follow
// them; the first entry of an empty table becomes the selected one. An entry
// whose path is listed already, or one that finds the table full, is closed
// and left out: -1. Otherwise its index.
int InsertDeviceEntry(DeviceTable& context, const DeviceEntry& entry, int position, int32_t& selected);

// Opens `path` read-only and appends it to the table: a regular file as a disk
// image ("[image] <file name> [<capacity>]"), a block device as a disk. Returns
// the new entry's index, or -1 with the reason in `error` (for example
// "cannot open %1: %2" with the path and the system's reason, or a full
// table).
int AddImageDevice(DeviceTable& context, const std::string& path, Message* error);

// The capacity in a device label: FormatSize ("315 MB", "7.9 GB").
std::string CapacityText(uint64_t bytes);

}  // namespace lumicarve
