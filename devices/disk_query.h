// Describing one opened disk: its model, revision, removable flag, exact
// length and geometry, then its ATA identification.
#pragma once

#include <string>

#include "devices/device_table.h"

namespace lumicarve {

// SCSI INQUIRY and READ CAPACITY(10) where the disk takes SCSI commands, then
// the strings the kernel keeps in `sysDir` (the disk's /sys/block directory),
// the capitalisation of the model, the length and the geometry. False when
// the disk must not be listed: it answers INQUIRY but not READ CAPACITY (an
// empty card reader slot), or its length is 0 or unknown.
bool QueryDisk(DeviceEntry& entry, const std::string& sysDir);

// What sysfs alone tells of a disk this user may not open: model, revision,
// removable and length. False when the disk has no length (an empty reader).
bool DescribeDiskFromSysfs(DeviceEntry& entry, const std::string& sysDir);

// QueryDisk, then the ATA identification; identification never decides
// whether the disk is listed.
bool DescribeDisk(DeviceEntry& entry, const std::string& sysDir);

// When the model's first blank lies after its fourth character, the upper-case
// letters from the second character up to that blank become lower case:
// "SAMSUNG HD103SJ" gives "Samsung HD103SJ"; "WDC WD5000" stays.
void CapitaliseModel(char* model);

// The device list's line: "<image tag> " for a disk image, "[<mount point>] "
// for each mounted volume in slot order, then "<model> [<capacity>]"; mount
// points that would push the model and capacity past the label's room are
// left out. The window passes its own capacity text and tag.
extern const char* const kImageTag;  // "[image]"
std::string DeviceLabel(const DeviceEntry& entry, const std::string& capacity, const std::string& imageTag);
// DeviceLabel with FormatSize's capacity, into entry.label.
void ComposeDeviceLabel(DeviceEntry& entry);

}  // namespace lumicarve
