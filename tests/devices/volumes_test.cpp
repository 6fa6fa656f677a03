// The mount table, volume serials and the mapping of volumes to disks.
#include <gtest/gtest.h>

#include <sstream>

#include "devices/volume_probe.h"
#include "devices/volumes.h"

namespace lumicarve {
namespace {

std::vector<MountEntry> Parse(const char* text) {
  std::istringstream in(text);
  return ParseMountInfo(in);
}

TEST(UnescapeMountField, decodesOctalEscapesAndLeavesOtherBackslashes) {
  EXPECT_EQ(UnescapeMountField("/media/ann/EOS\\040DIGITAL"), "/media/ann/EOS DIGITAL");
  EXPECT_EQ(UnescapeMountField("/a\\011b\\012c\\134d"), "/a\tb\nc\\d");
  EXPECT_EQ(UnescapeMountField("/end\\04"), "/end\\04");  // too short to be an escape
  EXPECT_EQ(UnescapeMountField("/x\\9zz"), "/x\\9zz");
}

TEST(ParseMountInfo, readsDeviceRootAndMountPointAndSkipsBrokenLines) {
  const auto mounts = Parse(
      "36 35 98:0 /mnt1 /mnt/parent\\040dir rw,noatime master:1 - ext3 /dev/root rw\n"
      "garbage\n"
      "37 35 nodevice / /x rw - tmpfs tmpfs rw\n"
      "38 35 8:17 / /media/ann/CARD rw - vfat /dev/sdb1 rw\n");
  ASSERT_EQ(mounts.size(), 2u);
  EXPECT_EQ(mounts[0].device, "98:0");
  EXPECT_EQ(mounts[0].root, "/mnt1");
  EXPECT_EQ(mounts[0].mountPoint, "/mnt/parent dir");
  EXPECT_EQ(mounts[1].device, "8:17");
  EXPECT_EQ(mounts[1].mountPoint, "/media/ann/CARD");
}

TEST(FindMountPoint, prefersTheMountOfTheWholeFileSystem) {
  const auto mounts = Parse(
      "40 26 8:17 /DCIM /mnt/bind rw - vfat /dev/sdb1 rw\n"
      "41 26 8:17 / /media/ann/CARD rw - vfat /dev/sdb1 rw\n"
      "42 26 8:17 / /media/ann/CARD2 rw - vfat /dev/sdb1 rw\n"
      "43 26 8:33 /sub /mnt/only-bind rw - vfat /dev/sdc1 rw\n");
  EXPECT_EQ(FindMountPoint(mounts, "8:17"), "/media/ann/CARD");
  EXPECT_EQ(FindMountPoint(mounts, "8:33"), "/mnt/only-bind");
  // Device numbers are matched whole: 8:1 is not 8:17.
  EXPECT_EQ(FindMountPoint(mounts, "8:1"), "");
}

TEST(SerialFromUuid, takesTheLastEightHexDigits) {
  EXPECT_EQ(SerialFromUuid("ABCD-1234"), 0xABCD1234u);
  EXPECT_EQ(SerialFromUuid("0bad-cafe"), 0x0BADCAFEu);
  EXPECT_EQ(SerialFromUuid("1C4E2AF94E2ACE48"), 0x4E2ACE48u);
  EXPECT_EQ(SerialFromUuid(""), 0u);
}

TEST(GetFreeSpace, answersForADirectoryAndFailsForAMissingOne) {
  int64_t total = 0, free = -1;
  ASSERT_TRUE(GetFreeSpace("/", &total, &free));
  EXPECT_GT(total, 0);
  EXPECT_GE(free, 0);
  EXPECT_LE(free, total);
  EXPECT_FALSE(GetFreeSpace("/nonexistent-mount-point", &total, &free));
}

}  // namespace
}  // namespace lumicarve
