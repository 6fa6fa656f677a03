// Whether a destination folder lies on the disk being scanned: writing there
// could overwrite the very sectors that hold the lost files.
#pragma once

#include <string>

namespace lumicarve {

// True when the file system holding `dir` lives on the same whole disk as the
// block device open as `deviceFd` (the disk itself or any of its
// partitions). False for a regular-file source (a disk image). `sysRoot` is
// where /sys is found ("/" on a real system).
bool DestinationOnScannedDisk(const std::string& dir, int deviceFd, const std::string& sysRoot = "/");

}  // namespace lumicarve
