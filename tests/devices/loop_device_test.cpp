// End to end on a real block device: a FAT32 card image attached as a loop
// device is listed with its volume, scanned through its table entry, and left
// byte for byte as it was. Needs root (to attach loop devices); skipped with
// the reason otherwise.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/device_list.h"
#include "scan/scan_context.h"
#include "scan/scan_loop.h"

namespace lumicarve {
namespace {

const char* const kCardFiles[] = {"Canon.jpg", "PNG.png", "GIF.gif"};

// Runs a shell command; returns its exit status and its standard output.
int RunShell(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  const int status = ::pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Sha256(const std::string& path) {
  std::string out;
  RunShell("sha256sum '" + path + "'", &out);
  return out.substr(0, 64);
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A disk image, its loop device (with the kernel's partitions, if any) and
// one mount, undone in reverse order however the test ends.
class AttachedImage {
 public:
  AttachedImage() {
    char dir[] = "/tmp/lumicarve-loop-XXXXXX";
    if (::mkdtemp(dir)) dir_ = dir;
  }
  ~AttachedImage() {
    Unmount();
    if (partitioned_) RunShell("partx -d " + device_);
    if (!device_.empty()) RunShell("losetup -d " + device_);
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  std::string image() const { return dir_ + "/card image.img"; }
  std::string mountPoint() const { return dir_ + "/mnt point"; }

  // Runs `script` with $IMG set to the image path.
  bool Make(const std::string& script, std::string& why) {
    if (dir_.empty()) return (why = "no temporary directory"), false;
    std::string out;
    if (RunShell("IMG='" + image() + "'; " + script, &out) != 0) return (why = script + ": " + out), false;
    return true;
  }
  bool Attach(std::string& why) {
    std::string out;
    if (RunShell("losetup -f --show '" + image() + "'", &out) != 0) return (why = "losetup failed: " + out), false;
    device_ = out.substr(0, out.find('\n'));
    return true;
  }
  // Makes the kernel's partition nodes (loop devices here do not scan their
  // partition table themselves).
  bool AddPartitions(std::string& why) {
    std::string out;
    if (RunShell("partx -a " + device_, &out) != 0) return (why = "partx failed: " + out), false;
    partitioned_ = true;
    return true;
  }
  bool Mount(const std::string& device, const char* type, unsigned long flags, std::string& why) {
    std::filesystem::create_directory(mountPoint());
    if (::mount(device.c_str(), mountPoint().c_str(), type, flags, nullptr) != 0)
      return (why = std::string("cannot mount ") + type + " here: " + std::strerror(errno)), false;
    mounted_ = true;
    return true;
  }
  void Unmount() {
    if (mounted_ && ::umount(mountPoint().c_str()) == 0) mounted_ = false;
  }
  const std::string& device() const { return device_; }
  bool mounted() const { return mounted_; }

 private:
  std::string dir_;
  std::string device_;
  bool partitioned_ = false;
  bool mounted_ = false;
};

class RecordingSink : public ScanObserver {
 public:
  void OnProgress(int) override {}
  void OnFileFound(std::unique_ptr<FoundFile> file) override { found.push_back(*file); }
  void OnFinished(const ScanResult& r) override { result = r; }
  std::vector<FoundFile> found;
  ScanResult result{ScanEnd::kCancelled, 0, 0};
};

struct OwnedTable {
  std::unique_ptr<DeviceTable> context = std::make_unique<DeviceTable>();
  ~OwnedTable() {
    for (int i = 0; i < context->deviceCount; ++i) ::close(context->devices[i].handle);
  }
  int Find(const std::string& path) const {
    for (int i = 0; i < context->deviceCount; ++i)
      if (path == context->devices[i].path) return i;
    return -1;
  }
};

TEST(LoopDevice, isListedWithItsVolumeScannedThroughTheTableAndLeftUnchanged) {
  if (::geteuid() != 0) GTEST_SKIP() << "attaching a loop device needs root";
  if (RunShell("command -v losetup && command -v mkfs.vfat && command -v mcopy") != 0)
    GTEST_SKIP() << "needs losetup, mkfs.vfat and mcopy (util-linux, dosfstools, mtools)";
  AttachedImage card;
  std::string why;
  std::string script = "truncate -s 48M \"$IMG\" && mkfs.vfat -F 32 -n LUMITEST -i 2024ABCD \"$IMG\"";
  for (const char* name : kCardFiles)
    script += std::string(" && mcopy -i \"$IMG\" '") + LUMICARVE_TEST_DATA + "/devices/card/" + name + "' ::/";
  ASSERT_TRUE(card.Make(script, why)) << why;
  const std::string before = Sha256(card.image());
  ASSERT_EQ(before.size(), 64u);
  ASSERT_TRUE(card.Attach(why)) << why;
  if (!card.Mount(card.device(), "vfat", MS_RDONLY, why)) std::printf("[   NOTE   ] %s: the volume is checked unmounted\n", why.c_str());

  {
    OwnedTable t;
    BuildDeviceTable(*t.context);
    const int index = t.Find(card.device());
    ASSERT_GE(index, 0) << card.device() << " is not in the table";
    const DeviceEntry& entry = t.context->devices[index];
    EXPECT_STREQ(entry.model, "Loop card image.img");
    EXPECT_EQ(entry.totalSectors, 48u * 1024 * 1024 / 512);
    const std::string prefix = card.mounted() ? "[" + card.mountPoint() + "] " : "";
    EXPECT_EQ(std::string(entry.label), prefix + "Loop card image.img [50 MB]");
    ASSERT_EQ(entry.volumeCount, 1);
    EXPECT_STREQ(entry.volumes[0].fileSystem, "FAT32");
    EXPECT_STREQ(entry.volumes[0].label, "LUMITEST");
    EXPECT_EQ(entry.volumes[0].serialNumber, 0x2024ABCDu);
    EXPECT_EQ(entry.volumes[0].startingOffset, 0);
    EXPECT_EQ(std::string(entry.volumes[0].mountPoint), card.mounted() ? card.mountPoint() : "");

    // The handle the scan reads through cannot write.
    EXPECT_EQ(::fcntl(entry.handle, F_GETFL) & O_ACCMODE, O_RDONLY);
    const char byte = 0;
    errno = 0;
    EXPECT_EQ(::pwrite(entry.handle, &byte, 1, 0), -1);
    EXPECT_EQ(errno, EBADF);

    RecordingSink sink;
    ScanJob job;
    job.handle = entry.handle;
    job.sectors = entry.totalSectors;
    ScanContext scan(job, sink);
    StartScanThread(scan).join();
    EXPECT_EQ(sink.result.end, ScanEnd::kCompleted);
    EXPECT_EQ(scan.readErrors.load(), 0);
    const std::vector<uint8_t> image = ReadAll(card.image());
    for (const char* name : kCardFiles) {
      const std::vector<uint8_t> file = ReadAll(std::string(LUMICARVE_TEST_DATA) + "/devices/card/" + name);
      bool found = false;
      for (const FoundFile& f : sink.found) {
        const uint64_t at = f.startSector * 512;
        found |= f.length == file.size() && at + file.size() <= image.size() &&
                 std::equal(file.begin(), file.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
      }
      EXPECT_TRUE(found) << name << " was not found whole among " << sink.found.size() << " files";
    }
  }

  std::string listing;
  EXPECT_EQ(RunShell(std::string(LUMICARVE_CLI_PATH) + " devices", &listing), 0) << listing;
  EXPECT_NE(listing.find("Loop card image.img [50 MB]\n    path: " + card.device() + "\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("FAT32, label LUMITEST, serial 2024-ABCD, 48 MiB"), std::string::npos) << listing;

  // A user without access to the disks is told why the list is short.
  if (RunShell("command -v setpriv") == 0) {
    EXPECT_EQ(RunShell("setpriv --reuid=65534 --regid=65534 --clear-groups " + std::string(LUMICARVE_CLI_PATH) +
                           " devices",
                       &listing),
              0)
        << listing;
    EXPECT_EQ(listing.find(card.device()), std::string::npos) << listing;
    EXPECT_NE(listing.find(" could not be opened (permission denied): run lumicarve-cli with sudo to scan a physical disk.\n"),
              std::string::npos)
        << listing;
  }

  card.Unmount();
  EXPECT_EQ(Sha256(card.image()), before);
}

TEST(LoopDevice, listsEachKernelPartitionWithItsFileSystemAndMountPoint) {
  if (::geteuid() != 0) GTEST_SKIP() << "attaching a loop device needs root";
  if (RunShell("command -v losetup && command -v partx && command -v sfdisk && command -v mkfs.ext4") != 0)
    GTEST_SKIP() << "needs losetup, partx, sfdisk and mkfs.ext4 (util-linux, fdisk, e2fsprogs)";
  AttachedImage disk;
  std::string why;
  ASSERT_TRUE(disk.Make("truncate -s 64M \"$IMG\" && printf 'label: dos\\nstart=2048, size=40960, type=c\\n"
                        "start=43008, type=83\\n' | sfdisk -q \"$IMG\"",
                        why))
      << why;
  ASSERT_TRUE(disk.Attach(why)) << why;
  ASSERT_TRUE(disk.AddPartitions(why)) << why;
  ASSERT_TRUE(disk.Make("mkfs.vfat -n 'PART ONE' " + disk.device() + "p1 && mkfs.ext4 -q -L photos " +
                            disk.device() + "p2",
                        why))
      << why;
  // The file systems were written through the partition nodes; the whole
  // disk's node keeps its own cache, which may still hold the zeros it read
  // before. Drop it so the table reads what is on the disk now.
  ASSERT_TRUE(disk.Make("sync && blockdev --flushbufs " + disk.device(), why)) << why;
  // ext4 mounts everywhere; the blank in the mount point is escaped in the
  // kernel's mount table.
  ASSERT_TRUE(disk.Mount(disk.device() + "p2", "ext4", MS_RDONLY, why)) << why;

  OwnedTable t;
  BuildDeviceTable(*t.context);
  const int index = t.Find(disk.device());
  ASSERT_GE(index, 0) << disk.device() << " is not in the table";
  const DeviceEntry& entry = t.context->devices[index];
  EXPECT_EQ(std::string(entry.label), "[" + disk.mountPoint() + "] Loop card image.img [67 MB]");
  ASSERT_EQ(entry.volumeCount, 2);
  const VolumeEntry& first = entry.volumes[0];
  EXPECT_EQ(first.startingOffset, 2048 * 512);
  EXPECT_EQ(first.sizeMiB, 20);
  EXPECT_STREQ(first.fileSystem, "FAT16");
  EXPECT_STREQ(first.label, "PART ONE");
  EXPECT_STREQ(first.mountPoint, "");
  const VolumeEntry& second = entry.volumes[1];
  EXPECT_EQ(second.startingOffset, 43008 * 512);
  EXPECT_STREQ(second.fileSystem, "ext4");
  EXPECT_STREQ(second.label, "photos");
  EXPECT_EQ(std::string(second.mountPoint), disk.mountPoint());
  EXPECT_GT(second.freeBytes, 0);
}

TEST(LoopDevice, aDiskThisUserMayNotOpenIsListedAndAdoptsOnlyAReadOnlyDescriptorOfItself) {
  if (::geteuid() != 0) GTEST_SKIP() << "attaching a loop device needs root";
  if (RunShell("command -v losetup && command -v mkfs.vfat") != 0)
    GTEST_SKIP() << "needs losetup and mkfs.vfat (util-linux, dosfstools)";
  AttachedImage card;
  std::string why;
  ASSERT_TRUE(card.Make("truncate -s 8M \"$IMG\" && mkfs.vfat -n DENIED \"$IMG\"", why)) << why;
  ASSERT_TRUE(card.Attach(why)) << why;

  OwnedTable t;
  // Built as an ordinary user sees the disks: only the file-system identity
  // changes, and only meanwhile.
  ::setfsuid(65534);
  BuildDeviceTable(*t.context, "/", true);
  ::setfsuid(0);
  const int index = t.Find(card.device());
  ASSERT_GE(index, 0) << card.device() << " is not in the table";
  const DeviceEntry& entry = t.context->devices[index];
  EXPECT_EQ(entry.handle, -1);
  EXPECT_EQ(entry.needsAccess, 1);
  EXPECT_STREQ(entry.label, "Loop card image.img [8.4 MB]");
  const int denied = t.context->devicesDenied;
  EXPECT_GE(denied, 1);

  const std::string device = card.device();
  EXPECT_FALSE(AdoptDeviceDescriptor(*t.context, index, ::open(device.c_str(), O_RDWR), &why));
  EXPECT_EQ(why, "the descriptor for " + device + " is not read-only");
  EXPECT_FALSE(AdoptDeviceDescriptor(*t.context, index, ::open(card.image().c_str(), O_RDONLY), &why));
  EXPECT_EQ(why, "the descriptor given for " + device + " is not that disk");
  EXPECT_EQ(entry.handle, -1);
  EXPECT_EQ(entry.needsAccess, 1);

  ASSERT_TRUE(AdoptDeviceDescriptor(*t.context, index, ::open(device.c_str(), O_RDONLY), &why)) << why;
  EXPECT_EQ(::fcntl(entry.handle, F_GETFL) & O_ACCMODE, O_RDONLY);
  EXPECT_EQ(entry.needsAccess, 0);
  EXPECT_EQ(entry.totalSectors, 8u * 1024 * 1024 / 512);
  ASSERT_EQ(entry.volumeCount, 1);
  EXPECT_STREQ(entry.volumes[0].label, "DENIED");
  EXPECT_EQ(t.context->devicesDenied, denied - 1);
}

}  // namespace
}  // namespace lumicarve
