#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "devices/device_list.h"
#include "devices/disk_enum.h"
#include "devices/disk_query.h"
#include "devices/sysfs_text.h"
#include "devices/volumes.h"

namespace lumicarve {
namespace {

// Describes the disk through entry.handle and fills its volumes and label;
// false when the disk is not to be listed.
bool DescribeOpenedDisk(DeviceEntry& entry, const BlockDisk& disk, const std::string& sysRoot) {
  if (!DescribeDisk(entry, disk.sysDir)) return false;
  FindDiskVolumes(entry, disk.sysDir, sysRoot);
  ComposeDeviceLabel(entry);
  return true;
}

// Opens and describes one disk into the next free slot. A disk refused for
// lack of permission is counted, and with `listDenied` listed from sysfs
// without a handle. False when nothing was added.
bool AddDisk(DeviceTable& context, const BlockDisk& disk, const std::string& sysRoot, bool listDenied) {
  if (context.deviceCount >= kMaxDevices) return false;
  DeviceEntry& entry = context.devices[context.deviceCount];
  entry = DeviceEntry{};
  entry.handle = -1;
  entry.diskNumber = disk.diskNumber;
  std::snprintf(entry.path, sizeof entry.path, "%s", disk.devNode.c_str());
  // Read-only, always: the program never writes to a disk it scans, and a
  // descriptor without write access makes that a property of the handle.
  const int fd = ::open(disk.devNode.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != EACCES && errno != EPERM) return false;
    ++context.devicesDenied;
    if (!listDenied || !DescribeDiskFromSysfs(entry, disk.sysDir)) return false;
    entry.needsAccess = 1;
    ComposeDeviceLabel(entry);
    ++context.deviceCount;
    return true;
  }
  entry.handle = fd;
  if (!DescribeOpenedDisk(entry, disk, sysRoot)) {
    ::close(fd);
    entry = DeviceEntry{};
    entry.handle = -1;
    return false;
  }
  ++context.deviceCount;
  return true;
}

}  // namespace

void BuildDeviceTable(DeviceTable& context, const std::string& sysRoot, bool listDenied) {
  for (const BlockDisk& disk : ListBlockDisks(sysRoot)) {
    if (context.deviceCount >= kMaxDevices) break;
    AddDisk(context, disk, sysRoot, listDenied);
  }
  if (context.deviceCount > 0 && context.scannedDeviceIndex < 0) context.scannedDeviceIndex = 0;
}

bool RefreshDeviceTable(DeviceTable& context, int keep, int32_t& selected, const std::string& sysRoot,
                        bool listDenied) {
  const std::vector<BlockDisk> present = ListBlockDisks(sysRoot);
  auto listed = [&](const char* path) {
    return std::any_of(present.begin(), present.end(), [&](const BlockDisk& d) { return d.devNode == path; });
  };
  bool changed = false;
  // Disks that went away leave the table; their slots close up, and the
  // indices that point past them move down with them.
  int to = 0;
  for (int from = 0; from < context.deviceCount; ++from) {
    DeviceEntry& entry = context.devices[from];
    if (!entry.isImage && from != keep && !listed(entry.path)) {
      if (entry.handle >= 0) ::close(entry.handle);
      changed = true;
      if (selected == from) selected = 0;
      continue;
    }
    auto remap = [&](int32_t& index) {
      if (index == from) index = to;
    };
    remap(selected);
    remap(context.scannedDeviceIndex);
    if (to != from) context.devices[to] = entry;
    ++to;
  }
  for (int i = to; i < context.deviceCount; ++i) {
    context.devices[i] = DeviceEntry{};
    context.devices[i].handle = -1;
  }
  context.deviceCount = to;
  if (context.scannedDeviceIndex >= to) context.scannedDeviceIndex = to > 0 ? 0 : -1;
  // Disks still waiting for access are counted again below.
  context.devicesDenied = 0;
  for (int i = 0; i < context.deviceCount; ++i)
    if (context.devices[i].needsAccess) ++context.devicesDenied;
  for (const BlockDisk& disk : present) {
    bool known = false;
    for (int i = 0; i < context.deviceCount && !known; ++i)
      known = std::strcmp(context.devices[i].path, disk.devNode.c_str()) == 0;
    if (!known && AddDisk(context, disk, sysRoot, listDenied)) changed = true;
  }
  return changed;
}

bool AdoptDeviceDescriptor(DeviceTable& context, int index, int fd, std::string* error,
                           const std::string& sysRoot) {
  auto refuse = [&](const std::string& why) {
    if (fd >= 0) ::close(fd);
    if (error) *error = why;
    return false;
  };
  if (index < 0 || index >= context.deviceCount || !context.devices[index].needsAccess)
    return refuse("no disk waits for access at that place in the table");
  DeviceEntry& entry = context.devices[index];
  // A descriptor that could write would undo the guarantee that the scanned
  // disk is never written, whoever opened it.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) != O_RDONLY)
    return refuse(std::string("the descriptor for ") + entry.path + " is not read-only");
  const BlockDisk* disk = nullptr;
  const std::vector<BlockDisk> disks = ListBlockDisks(sysRoot);
  for (const BlockDisk& d : disks)
    if (d.devNode == entry.path) disk = &d;
  if (!disk) return refuse(std::string(entry.path) + " is no longer attached");
  struct stat st {};
  const std::string number = ReadSysfsText(disk->sysDir + "/dev");
  if (::fstat(fd, &st) != 0 || !S_ISBLK(st.st_mode) ||
      number != std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)))
    return refuse(std::string("the descriptor given for ") + entry.path + " is not that disk");
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);

  DeviceEntry described{};
  described.handle = fd;
  described.diskNumber = entry.diskNumber;
  std::snprintf(described.path, sizeof described.path, "%s", entry.path);
  if (!DescribeOpenedDisk(described, *disk, sysRoot))
    return refuse(std::string(entry.path) + " holds no medium that can be read");
  entry = described;
  if (context.devicesDenied > 0) --context.devicesDenied;
  return true;
}

}  // namespace lumicarve
