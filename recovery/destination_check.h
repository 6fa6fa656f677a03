// Whether a destination lies on the disk being scanned: writing there could
// overwrite the very sectors that hold the lost files. The destination's file
// system is followed down to every block device under it: the mount's source,
// every device of a btrfs file system, the devices below device-mapper (LVM,
// LUKS) and md RAID, a partition's whole disk, and a loop device's backing
// file, whose own file system is followed in turn.
#pragma once

#include <string>

#include "text/text_format.h"

namespace lumicarve {

enum class DiskCheck { kElsewhere, kOnScannedDisk, kUnresolved };

struct DestinationDisk {
  DiskCheck result = DiskCheck::kElsewhere;
  // kOnScannedDisk: the device of the chain that is (or holds) the scanned
  // disk; kUnresolved: what could not be followed.
  Message detail;
};

// Checks the file system holding `path` (which must exist) against the
// source open as `sourceFd`: a block device (any device under the
// destination shares a whole disk with it) or a disk image file (a loop
// device under the destination is backed by that very file).
DestinationDisk CheckDestinationDisk(const std::string& path, int sourceFd);

}  // namespace lumicarve
