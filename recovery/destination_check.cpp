#include "recovery/destination_check.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/btrfs.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <linux/magic.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "text/translatable.h"

namespace lumicarve {
namespace {

// A loop device over a file on a loop device over a file ... ends here.
constexpr int kMaxDepth = 16;

std::string DevText(dev_t dev) { return std::to_string(major(dev)) + ":" + std::to_string(minor(dev)); }

bool ReadDevFile(const std::string& path, dev_t& dev) {
  std::ifstream in(path);
  unsigned maj = 0, min = 0;
  char colon = 0;
  if (!(in >> maj >> colon >> min) || colon != ':') return false;
  dev = makedev(maj, min);
  return true;
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string SysBlockDir(dev_t dev) {
  char resolved[PATH_MAX];
  if (!::realpath(("/sys/dev/block/" + DevText(dev)).c_str(), resolved)) return {};
  return resolved;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

// mountinfo escapes blanks and backslashes as \ooo.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      const std::string octal = text.substr(i + 1, 3);
      if (octal.find_first_not_of("01234567") == std::string::npos) {
        out += static_cast<char>(std::stoi(octal, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool IsBelow(const std::string& path, const std::string& dir) {
  if (dir == "/") return true;
  return path.rfind(dir, 0) == 0 && (path.size() == dir.size() || path[dir.size()] == '/');
}

struct MountEntry {
  std::string mountPoint, type, source, options;
};

// The mount of device `dev`, else the mount whose point is the longest
// prefix of `path` (a file system may show other numbers than its mount's).
bool FindMount(dev_t dev, const std::string& path, MountEntry& found) {
  char resolved[PATH_MAX];
  const std::string real = ::realpath(path.c_str(), resolved) ? resolved : path;
  const std::string wanted = DevText(dev);
  for (bool byDevice : {true, false}) {
    std::ifstream in("/proc/self/mountinfo");
    size_t best = 0;
    bool any = false;
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::string id, parent, majMin, root, point, options, word;
      if (!(fields >> id >> parent >> majMin >> root >> point >> options)) continue;
      point = Unescape(point);
      if (byDevice ? majMin != wanted : !IsBelow(real, point) || point.size() < best) continue;
      while (fields >> word && word != "-") {
      }
      MountEntry e;
      e.mountPoint = point;
      if (!(fields >> e.type >> e.source)) continue;
      fields >> e.options;
      e.source = Unescape(e.source);
      // The last matching mount is the one in effect.
      found = e;
      best = point.size();
      any = true;
    }
    if (any) return true;
  }
  return false;
}

bool OptionValue(const std::string& options, const std::string& key, std::string& value) {
  std::istringstream list(options);
  for (std::string item; std::getline(list, item, ',');) {
    if (item.rfind(key + "=", 0) == 0) {
      value = Unescape(item.substr(key.size() + 1));
      return true;
    }
  }
  return false;
}

// File systems whose content lives in memory or on another machine.
bool HoldsNoLocalDisk(const std::string& type) {
  static const char* const kTypes[] = {"tmpfs", "ramfs", "devtmpfs", "proc", "sysfs", "cgroup", "cgroup2",
                                       "nfs",   "nfs4",  "cifs",     "smb3", "9p",    "virtiofs", "fuse.sshfs"};
  return std::find_if(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return type == t; }) !=
         std::end(kTypes);
}

class Chain {
 public:
  // The scanned disk's own chain stops at a loop device: what holds its
  // backing file is not the scanned disk.
  explicit Chain(bool followLoops) : followLoops_(followLoops) {}

  // Follows the file system holding `path`. False (with `why`) when some
  // link of the chain could not be followed.
  bool FollowPath(const std::string& path, int depth) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Fail(QT_TRANSLATE_NOOP("Lumicarve", "cannot read %1: %2"), {path, std::strerror(errno)});
    return FollowFileSystem(st.st_dev, path, depth);
  }

  bool FollowBlock(dev_t dev, int depth) {
    if (depth > kMaxDepth) return Fail(QT_TRANSLATE_NOOP("Lumicarve", "devices nested too deep"));
    if (!devices_.insert(dev).second) return true;
    const std::string dir = SysBlockDir(dev);
    if (dir.empty()) return Fail(QT_TRANSLATE_NOOP("Lumicarve", "no block device %1 in /sys"), {DevText(dev)});
    dev_t whole = 0;
    if (::access((dir + "/partition").c_str(), F_OK) == 0 &&
        !(ReadDevFile(dir.substr(0, dir.find_last_of('/')) + "/dev", whole) && FollowBlock(whole, depth)))
      return Fail(QT_TRANSLATE_NOOP("Lumicarve", "the disk of partition %1 is unknown"), {DevText(dev)});
    // Device-mapper (LVM, LUKS) and md RAID list the devices they are made of.
    for (const std::string& slave : Entries(dir + "/slaves")) {
      dev_t below = 0;
      if (!ReadDevFile(dir + "/slaves/" + slave + "/dev", below) || !FollowBlock(below, depth + 1))
        return Fail(QT_TRANSLATE_NOOP("Lumicarve", "the devices under %1 are unknown"), {DevText(dev)});
    }
    if (followLoops_ && ::access((dir + "/loop/backing_file").c_str(), F_OK) == 0) return FollowLoop(dev, dir, depth);
    return true;
  }

  const std::set<dev_t>& devices() const { return devices_; }
  const std::vector<std::pair<dev_t, ino_t>>& backingFiles() const { return backingFiles_; }
  const Message& why() const { return why_; }

 private:
  bool Fail(const char* format, std::vector<std::string> args = {}) {
    if (why_.empty()) why_ = Message{format, std::move(args)};
    return false;
  }

  bool FollowFileSystem(dev_t dev, const std::string& path, int depth) {
    if (major(dev) != 0) return FollowBlock(dev, depth);
    // An anonymous device number: btrfs, overlay, tmpfs, network and FUSE
    // file systems. The mount table tells which.
    struct statfs fsInfo {};
    if (::statfs(path.c_str(), &fsInfo) == 0 && fsInfo.f_type == BTRFS_SUPER_MAGIC) return FollowBtrfs(path, depth);
    MountEntry mount;
    if (!FindMount(dev, path, mount)) return Fail(QT_TRANSLATE_NOOP("Lumicarve", "no mount of %1 holding %2"), {DevText(dev), path});
    if (HoldsNoLocalDisk(mount.type)) return true;
    std::string upper;
    if (mount.type == "overlay" && OptionValue(mount.options, "upperdir", upper))
      return FollowPath(upper, depth + 1);
    struct stat st {};
    if (mount.source.rfind("/dev/", 0) == 0 && ::stat(mount.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode))
      return FollowBlock(st.st_rdev, depth);
    return Fail(QT_TRANSLATE_NOOP("Lumicarve", "%1 from %2 at %3 is on no known device"),
                {mount.type, mount.source, mount.mountPoint});
  }

  // Every device of the file system, not only the one the mount table names.
  bool FollowBtrfs(const std::string& path, int depth) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    btrfs_ioctl_fs_info_args info{};
    const bool known = fd >= 0 && ::ioctl(fd, BTRFS_IOC_FS_INFO, &info) == 0;
    if (fd >= 0) ::close(fd);
    if (!known) return Fail(QT_TRANSLATE_NOOP("Lumicarve", "cannot ask btrfs at %1 for its devices"), {path});
    char uuid[40];
    const uint8_t* f = info.fsid;
    std::snprintf(uuid, sizeof uuid, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", f[0],
                  f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11], f[12], f[13], f[14], f[15]);
    const std::string devicesDir = std::string("/sys/fs/btrfs/") + uuid + "/devices";
    const std::vector<std::string> names = Entries(devicesDir);
    if (names.empty()) return Fail(QT_TRANSLATE_NOOP("Lumicarve", "no devices listed for btrfs at %1"), {path});
    for (const std::string& name : names) {
      dev_t dev = 0;
      if (!ReadDevFile(devicesDir + "/" + name + "/dev", dev) || !FollowBlock(dev, depth))
        return Fail(QT_TRANSLATE_NOOP("Lumicarve", "btrfs device %1 at %2 is unknown"), {name, path});
    }
    return true;
  }

  // The backing file by device and inode, from the loop device itself where
  // it can be opened, else from the path sysfs gives; then the file system
  // that holds it.
  bool FollowLoop(dev_t dev, const std::string& dir, int depth) {
    const std::string backing = FirstLine(dir + "/loop/backing_file");
    loop_info64 info{};
    bool known = false;
    for (const std::string& node : {"/dev/block/" + DevText(dev), "/dev/" + dir.substr(dir.find_last_of('/') + 1)}) {
      struct stat st {};
      if (::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode) || st.st_rdev != dev) continue;
      const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
      if (fd < 0) continue;
      known = ::ioctl(fd, LOOP_GET_STATUS64, &info) == 0;
      ::close(fd);
      if (known) break;
    }
    struct stat file {};
    const bool onPath = ::stat(backing.c_str(), &file) == 0;
    if (!known) {
      if (!onPath) return Fail(QT_TRANSLATE_NOOP("Lumicarve", "the file behind %1 (%2) is gone"), {DevText(dev), backing});
      info.lo_device = file.st_dev;
      info.lo_inode = file.st_ino;
    }
    backingFiles_.emplace_back(static_cast<dev_t>(info.lo_device), static_cast<ino_t>(info.lo_inode));
    // The path sysfs gives may name another file by now; only the same inode counts.
    if (onPath && file.st_dev == info.lo_device && file.st_ino == info.lo_inode)
      return FollowFileSystem(file.st_dev, backing, depth + 1);
    return FollowFileSystem(static_cast<dev_t>(info.lo_device), backing, depth + 1);
  }

  bool followLoops_;
  std::set<dev_t> devices_;
  std::vector<std::pair<dev_t, ino_t>> backingFiles_;
  Message why_;
};

}  // namespace

DestinationDisk CheckDestinationDisk(const std::string& path, int sourceFd) {
  struct stat source {};
  if (::fstat(sourceFd, &source) != 0) return {DiskCheck::kUnresolved, {QT_TRANSLATE_NOOP("Lumicarve", "the source cannot be examined"), {}}};
  Chain destination(true);
  const bool resolved = destination.FollowPath(path, 0);
  if (S_ISREG(source.st_mode)) {
    for (const auto& [dev, ino] : destination.backingFiles())
      if (dev == source.st_dev && ino == source.st_ino)
        return {DiskCheck::kOnScannedDisk, {QT_TRANSLATE_NOOP("Lumicarve", "a loop device backed by the scanned image"), {}}};
  } else if (S_ISBLK(source.st_mode)) {
    Chain scanned(false);
    scanned.FollowBlock(source.st_rdev, 0);
    for (dev_t dev : destination.devices())
      if (scanned.devices().count(dev))
        return {DiskCheck::kOnScannedDisk, {QT_TRANSLATE_NOOP("Lumicarve", "block device %1"), {DevText(dev)}}};
  }
  if (!resolved) return {DiskCheck::kUnresolved, destination.why()};
  return {};
}

}  // namespace lumicarve
