// The destination check on real stacks of block devices made as root inside
// the test: loop devices, btrfs and ext4 file systems, a device-mapper
// mapping, an image file inside a mounted image. Each test skips, saying why,
// where the machine refuses a step.
#include "recovery/destination_check.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace lumicarve {
namespace {

namespace fs = std::filesystem;

// Runs a shell command; its first output line, empty when it failed.
std::string Run(const std::string& command) {
  FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return {};
  char line[256] = {};
  const bool got = std::fgets(line, sizeof line, p) != nullptr;
  const int status = ::pclose(p);
  if (status != 0) return {};
  return got ? std::string(line, std::strcspn(line, "\n")) : "ok";
}

// Everything a test set up, undone in reverse order.
class Stack {
 public:
  Stack() {
    char name[] = "/tmp/lumicarve-dest-XXXXXX";
    root_ = ::mkdtemp(name);
  }
  ~Stack() {
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) Run(*it);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  // An image file of `mb` MB formatted as `type`, under `dir` (the scratch
  // folder when empty). Empty on failure, with the reason in why().
  std::string Image(const std::string& type, int mb, const std::string& dir = {}) {
    const std::string path = (dir.empty() ? root_ : dir) + "/" + type + std::to_string(++made_) + ".img";
    if (Run("truncate -s " + std::to_string(mb) + "M " + path).empty() ||
        Run("mkfs." + type + " -q " + (type == "ext4" ? "-F " : "-f ") + path).empty())
      return Fail("mkfs." + type + " failed (is it installed?)");
    return path;
  }
  std::string Loop(const std::string& file) {
    const std::string dev = Run("losetup -f --show " + file);
    if (dev.empty()) return Fail("losetup could not attach " + file);
    undo_.push_back("losetup -d " + dev);
    return dev;
  }
  std::string Mount(const std::string& device, const std::string& type) {
    const std::string dir = root_ + "/mnt" + std::to_string(++made_);
    fs::create_directories(dir);
    if (::mount(device.c_str(), dir.c_str(), type.c_str(), 0, nullptr) != 0)
      return Fail("the kernel refused to mount " + type + ": " + std::strerror(errno));
    undo_.push_back("umount -l " + dir);
    return dir;
  }
  std::string Linear(const std::string& device, const std::string& name) {
    const std::string sectors = Run("blockdev --getsz " + device);
    if (sectors.empty() || Run("dmsetup create " + name + " --table '0 " + sectors + " linear " + device + " 0'").empty())
      return Fail("device-mapper is unavailable here");
    undo_.push_back("dmsetup remove " + name);
    Run("udevadm settle");
    return "/dev/mapper/" + name;
  }
  const std::string& why() const { return why_; }
  const std::string& root() const { return root_; }

 private:
  std::string Fail(const std::string& why) {
    if (why_.empty()) why_ = why;
    return {};
  }
  std::string root_, why_;
  std::vector<std::string> undo_;
  int made_ = 0;
};

struct Fd {
  explicit Fd(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  int fd;
};

#define NEED(value)                                        \
  if ((value).empty()) GTEST_SKIP() << stack.why();

class DestinationCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "loop devices and mounts need root";
  }
  Stack stack;
};

TEST_F(DestinationCheck, aBtrfsOnTheScannedDiskIsRefusedThoughItsDeviceNumberIsAnonymous) {
  const std::string image = stack.Image("btrfs", 128);
  NEED(image);
  const std::string loop = stack.Loop(image);
  NEED(loop);
  const std::string mnt = stack.Mount(loop, "btrfs");
  NEED(mnt);
  fs::create_directories(mnt + "/photos");
  const Fd source(loop);
  const DestinationDisk d = CheckDestinationDisk(mnt + "/photos", source.fd);
  EXPECT_EQ(d.result, DiskCheck::kOnScannedDisk) << d.detail.Text();
  EXPECT_EQ(CheckDestinationDisk(stack.root(), source.fd).result, DiskCheck::kElsewhere);
  // The same file system seen through its image file: the loop device is backed by it.
  const Fd imageSource(image);
  EXPECT_EQ(CheckDestinationDisk(mnt, imageSource.fd).result, DiskCheck::kOnScannedDisk);
}

TEST_F(DestinationCheck, aMountOfTheScannedImageIsRefusedAndAnotherImageIsNot) {
  const std::string image = stack.Image("ext4", 8), other = stack.Image("ext4", 8);
  NEED(other);
  const std::string loop = stack.Loop(image);
  NEED(loop);
  const std::string mnt = stack.Mount(loop, "ext4");
  NEED(mnt);
  const Fd scanned(image), unrelated(other);
  EXPECT_EQ(CheckDestinationDisk(mnt, scanned.fd).result, DiskCheck::kOnScannedDisk);
  EXPECT_EQ(CheckDestinationDisk(mnt, unrelated.fd).result, DiskCheck::kElsewhere);
  EXPECT_EQ(CheckDestinationDisk(stack.root(), scanned.fd).result, DiskCheck::kElsewhere);
}

TEST_F(DestinationCheck, aDeviceMapperMappingOverTheScannedDiskIsRefused) {
  const std::string image = stack.Image("ext4", 16);
  NEED(image);
  const std::string loop = stack.Loop(image);
  NEED(loop);
  const std::string mapped = stack.Linear(loop, "lumicarve-dest-" + std::to_string(::getpid()));
  NEED(mapped);
  const std::string mnt = stack.Mount(mapped, "ext4");
  NEED(mnt);
  const Fd source(loop);
  const DestinationDisk d = CheckDestinationDisk(mnt, source.fd);
  EXPECT_EQ(d.result, DiskCheck::kOnScannedDisk) << d.detail.Text();
}

TEST_F(DestinationCheck, anImageStoredOnTheScannedDiskAndMountedIsRefused) {
  const std::string outer = stack.Image("ext4", 32);
  NEED(outer);
  const std::string outerLoop = stack.Loop(outer);
  NEED(outerLoop);
  const std::string outerMnt = stack.Mount(outerLoop, "ext4");
  NEED(outerMnt);
  const std::string inner = stack.Image("ext4", 8, outerMnt);
  NEED(inner);
  const std::string innerLoop = stack.Loop(inner);
  NEED(innerLoop);
  const std::string innerMnt = stack.Mount(innerLoop, "ext4");
  NEED(innerMnt);
  const Fd source(outerLoop);
  const DestinationDisk d = CheckDestinationDisk(innerMnt, source.fd);
  EXPECT_EQ(d.result, DiskCheck::kOnScannedDisk) << d.detail.Text();
}

}  // namespace
}  // namespace lumicarve
