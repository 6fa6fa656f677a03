// The whole disks the kernel lists under /sys/block that the program offers
// for scanning, in a stable order.
#pragma once

#include <string>
#include <vector>

namespace lumicarve {

struct BlockDisk {
  std::string name;     // "sdb"
  std::string sysDir;   // <root>/sys/block/sdb
  std::string devNode;  // <root>/dev/sdb
  int diskNumber;       // position in the enumeration order
};

// Whole disks that can hold a camera's files: sd*, mmcblk* (not the boot and
// RPMB areas), nvme*n*, vd*, hd*, xvd*, loop*. Never optical drives, floppies,
// RAM disks or partitions.
bool IsScannableDiskName(const std::string& name);

// Name order with digit runs compared by value: loop2 before loop10.
bool NaturalLess(const std::string& a, const std::string& b);

// The scannable disks under `root` ("/" on a real system), sorted. A loop
// device counts only while a file backs it; a disk the kernel hides (a path of
// a multipath device) is left out. The disk number of each is its position.
std::vector<BlockDisk> ListBlockDisks(const std::string& root);

}  // namespace lumicarve
