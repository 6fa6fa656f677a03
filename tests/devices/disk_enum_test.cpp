// Which /sys/block entries are offered for scanning, and in what order.
#include <gtest/gtest.h>

#include <algorithm>

#include "devices/disk_enum.h"
#include "devices_test_data.h"

namespace lumicarve {
namespace {

TEST(IsScannableDiskName, acceptsWholeDisksOnly) {
  for (const char* name : {"sda", "sdaa", "mmcblk0", "mmcblk12", "nvme0n1", "nvme10n2", "vda", "hdb", "xvda", "loop7"})
    EXPECT_TRUE(IsScannableDiskName(name)) << name;
  for (const char* name : {"sda1", "mmcblk0p1", "mmcblk0boot0", "mmcblk0rpmb", "nvme0n1p1", "nvme0", "nvme0c0n1",
                           "sr0", "fd0", "ram0", "zram0", "dm-0", "md0", "loop", "sd", "loop0p1", "sdA"})
    EXPECT_FALSE(IsScannableDiskName(name)) << name;
}

TEST(NaturalLess, comparesDigitRunsByValue) {
  EXPECT_TRUE(NaturalLess("loop2", "loop10"));
  EXPECT_FALSE(NaturalLess("loop10", "loop2"));
  EXPECT_TRUE(NaturalLess("sda", "sdb"));
  EXPECT_TRUE(NaturalLess("nvme0n2", "nvme1n1"));
  EXPECT_TRUE(NaturalLess("sd", "sda"));
  EXPECT_FALSE(NaturalLess("sda", "sda"));
}

TEST(ListBlockDisks, listsTheScannableDisksOfTheTreeInNameOrder) {
  const std::vector<BlockDisk> disks = ListBlockDisks(test::SysRoot());
  std::vector<std::string> names;
  for (const BlockDisk& d : disks) names.push_back(d.name);
  // loop0 has no backing file; sr0, fd0, zram0 and the boot area are never disks.
  EXPECT_EQ(names, (std::vector<std::string>{"loop1", "mmcblk0", "sda", "sdb", "sdc"}));
  for (size_t i = 0; i < disks.size(); ++i) {
    EXPECT_EQ(disks[i].diskNumber, static_cast<int>(i));
    EXPECT_EQ(disks[i].devNode, test::SysRoot() + "/dev/" + disks[i].name);
    EXPECT_EQ(disks[i].sysDir, test::SysRoot() + "/sys/block/" + disks[i].name);
  }
}

TEST(ListBlockDisks, findsNothingUnderARootWithoutSysfs) {
  EXPECT_TRUE(ListBlockDisks("/nonexistent-root").empty());
}

}  // namespace
}  // namespace lumicarve
