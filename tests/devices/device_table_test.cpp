// Building the device table from a fake system root: which disks are listed,
// in which slots, with which description, volumes and labels.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "devices/device_list.h"
#include "devices_test_data.h"
#include "devices/device_table.h"

namespace lumicarve {
namespace {

int OpenDescriptorCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

struct Table {
  std::unique_ptr<DeviceTable> context = std::make_unique<DeviceTable>();
  ~Table() {
    for (int i = 0; i < context->deviceCount; ++i) ::close(context->devices[i].handle);
  }
  const DeviceEntry& operator[](int i) const { return context->devices[i]; }
};

TEST(BuildDeviceTable, fillsTheSlotsDenselyWithTheDisksThatCanBeRead) {
  Table t;
  BuildDeviceTable(*t.context, test::SysRoot());
  // loop1, mmcblk0, sda (no node), sdb, sdc (no medium): three listed, no gaps.
  ASSERT_EQ(t.context->deviceCount, 3);
  EXPECT_EQ(t.context->devicesDenied, 0);
  EXPECT_EQ(t.context->scannedDeviceIndex, 0);
  EXPECT_STREQ(t[0].label, "Loop card.img [131 KB]");
  EXPECT_STREQ(t[1].label, "[/media/ann/EOS DIGITAL] SD32G [131 KB]");
  EXPECT_STREQ(t[2].label, "[/media/ann/CARD] Generic SD Reader [294 KB]");
  // The disk number is the position among all disks found, listed or not.
  EXPECT_EQ(t[0].diskNumber, 0);
  EXPECT_EQ(t[1].diskNumber, 1);
  EXPECT_EQ(t[2].diskNumber, 3);
}

TEST(BuildDeviceTable, describesADiskFromItsKernelStringsAndExactLength) {
  Table t;
  BuildDeviceTable(*t.context, test::SysRoot());
  ASSERT_EQ(t.context->deviceCount, 3);
  const DeviceEntry& reader = t[2];
  EXPECT_STREQ(reader.model, "Generic SD Reader");
  EXPECT_STREQ(reader.revision, "1.00");
  EXPECT_STREQ(reader.serialNumber, "");
  EXPECT_EQ(reader.removable, 1);
  EXPECT_EQ(reader.transport, 0);
  // 63 sectors before the partition and 512 in it: every sector is covered,
  // though the length is not a whole number of 255 x 63 cylinders.
  EXPECT_EQ(reader.totalSectors, 575u);
  EXPECT_EQ(reader.totalBytes, 575u * 512u);
  EXPECT_EQ(reader.tracksPerCylinder, 255);
  EXPECT_EQ(reader.sectorsPerTrack, 63);
  EXPECT_EQ(reader.cylinders, 0);
  EXPECT_EQ(reader.bytesPerSector, 512);
  EXPECT_STREQ(t[1].revision, "0x8");
  EXPECT_EQ(t[1].features[kFeatureSmart], 0);  // nothing identified: not known
}

TEST(BuildDeviceTable, matchesEachVolumeToItsDiskAndMountPoint) {
  Table t;
  BuildDeviceTable(*t.context, test::SysRoot());
  ASSERT_EQ(t.context->deviceCount, 3);

  const DeviceEntry& reader = t[2];
  ASSERT_EQ(reader.volumeCount, 1);
  const VolumeEntry& partition = reader.volumes[0];
  EXPECT_STREQ(partition.mountPoint, "/media/ann/CARD");  // not the bind mount of /DCIM
  EXPECT_STREQ(partition.fileSystem, "FAT12");
  EXPECT_STREQ(partition.label, "CARD");
  EXPECT_EQ(partition.serialNumber, 0x1234ABCDu);
  EXPECT_EQ(partition.startingOffset, 63 * 512);
  EXPECT_EQ(partition.sizeMiB, 0);
  EXPECT_GT(partition.freeBytes, 0);

  // A card formatted whole: one volume over the disk, mounted under a name
  // with a blank.
  const DeviceEntry& card = t[1];
  ASSERT_EQ(card.volumeCount, 1);
  EXPECT_EQ(card.volumes[0].startingOffset, 0);
  EXPECT_STREQ(card.volumes[0].mountPoint, "/media/ann/EOS DIGITAL");
  EXPECT_STREQ(card.volumes[0].label, "EOS_DIGITAL");
  EXPECT_EQ(card.volumes[0].serialNumber, 0x0BADCAFEu);

  // The same file system on a disk that is not mounted: no mount point, no
  // free space, but still its name and label.
  const DeviceEntry& loop = t[0];
  ASSERT_EQ(loop.volumeCount, 1);
  EXPECT_STREQ(loop.volumes[0].mountPoint, "");
  EXPECT_EQ(loop.volumes[0].freeBytes, 0);
  EXPECT_STREQ(loop.volumes[0].fileSystem, "FAT12");
}

TEST(BuildDeviceTable, keepsReadOnlyHandlesOfListedDisksAndClosesTheOthers) {
  const int before = OpenDescriptorCount();
  Table t;
  BuildDeviceTable(*t.context, test::SysRoot());
  ASSERT_EQ(t.context->deviceCount, 3);
  EXPECT_EQ(OpenDescriptorCount(), before + 3);  // sdc was opened, then closed
  for (int i = 0; i < t.context->deviceCount; ++i) {
    const int handle = t[i].handle;
    const int flags = ::fcntl(handle, F_GETFL);
    ASSERT_GE(flags, 0);
    EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
    EXPECT_TRUE(::fcntl(handle, F_GETFD) & FD_CLOEXEC);
    const char byte = 0;
    errno = 0;
    EXPECT_EQ(::pwrite(handle, &byte, 1, 0), -1);
    EXPECT_EQ(errno, EBADF);
  }
}

TEST(BuildDeviceTable, leavesTheIndicesAloneWhenNoDiskIsListed) {
  Table t;
  BuildDeviceTable(*t.context, "/nonexistent-root");
  EXPECT_EQ(t.context->deviceCount, 0);
  EXPECT_EQ(t.context->scannedDeviceIndex, -1);
}

TEST(BuildDeviceTable, stopsAtThirtyTwoEntries) {
  Table t;
  BuildDeviceTable(*t.context, test::SysRoot());
  const int first = t.context->deviceCount;
  while (t.context->deviceCount < kMaxDevices) BuildDeviceTable(*t.context, test::SysRoot());
  EXPECT_EQ(t.context->deviceCount, kMaxDevices);
  EXPECT_STREQ(t[kMaxDevices - 1].model, t[(kMaxDevices - 1) % first].model);
}

TEST(AddImageDevice, addsAFileWithItsNameAndAPartialLastSector) {
  char path[] = "/tmp/lumicarve-image-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string bytes(1000, 'x');
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), 1000);
  ::close(fd);
  Table t;
  Message error;
  ASSERT_EQ(AddImageDevice(*t.context, path, &error), 0) << error.Text();
  const std::string name = std::string(path).substr(5);
  EXPECT_STREQ(t[0].label, ("[image] " + name + " [1.0 KB]").c_str());
  EXPECT_EQ(t[0].totalSectors, 2u);
  EXPECT_EQ(t[0].volumeCount, 0);
  EXPECT_EQ(::fcntl(t[0].handle, F_GETFL) & O_ACCMODE, O_RDONLY);
  ::unlink(path);
  EXPECT_EQ(AddImageDevice(*t.context, "/nonexistent.img", &error), -1);
  EXPECT_EQ(error.Text(), "cannot open /nonexistent.img: No such file or directory");
}

TEST(AddImageDevice, refusesAFifoAtOnceInsteadOfWaitingForAWriter) {
  char dir[] = "/tmp/lumicarve-fifo-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string fifo = std::string(dir) + "/source";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Table t;
  Message error;
  // On a blocking open this would wait for ever: no writer ever comes.
  EXPECT_EQ(AddImageDevice(*t.context, fifo, &error), -1);
  EXPECT_EQ(error.Text(), fifo + " is neither a disk image file nor a block device");
  EXPECT_EQ(t.context->deviceCount, 0);
  ::unlink(fifo.c_str());
  ::rmdir(dir);
}

}  // namespace
}  // namespace lumicarve
