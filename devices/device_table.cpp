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

bool IsListed(const DeviceTable& context, const char* path) {
  for (int i = 0; i < context.deviceCount; ++i)
    if (std::strcmp(context.devices[i].path, path) == 0) return true;
  return false;
}

// Puts `entry` at `position`; the table-full case closes it: -1.
int PlaceEntry(DeviceTable& context, const DeviceEntry& entry, int position, int32_t& selected) {
  if (context.deviceCount >= kMaxDevices) {
    if (entry.handle >= 0) ::close(entry.handle);
    return -1;
  }
  const int at = std::clamp(position, 0, static_cast<int>(context.deviceCount));
  for (int i = context.deviceCount; i > at; --i) context.devices[i] = context.devices[i - 1];
  context.devices[at] = entry;
  if (context.deviceCount == 0)
    selected = 0;
  else if (selected >= at)
    ++selected;
  if (context.scannedDeviceIndex >= at) ++context.scannedDeviceIndex;
  if (context.scannedDeviceIndex < 0) context.scannedDeviceIndex = 0;
  if (entry.needsAccess) ++context.devicesDenied;
  ++context.deviceCount;
  return at;
}

}  // namespace

std::optional<DeviceEntry> DescribeBlockDisk(const BlockDisk& disk, const std::string& sysRoot, bool listDenied,
                                             bool* denied) {
  if (denied) *denied = false;
  DeviceEntry entry{};
  entry.handle = -1;
  entry.diskNumber = disk.diskNumber;
  std::snprintf(entry.path, sizeof entry.path, "%s", disk.devNode.c_str());
  // Read-only, always: the program never writes to a disk it scans, and a
  // descriptor without write access makes that a property of the handle.
  // Opened without waiting (a reader without a card, a drive spinning up
  // could hold open() up); the handle reads normally from then on.
  const int fd = ::open(disk.devNode.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno != EACCES && errno != EPERM) return std::nullopt;
    if (denied) *denied = true;
    if (!listDenied || !DescribeDiskFromSysfs(entry, disk.sysDir)) return std::nullopt;
    entry.needsAccess = 1;
    ComposeDeviceLabel(entry);
    return entry;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  entry.handle = fd;
  if (!DescribeOpenedDisk(entry, disk, sysRoot)) {
    ::close(fd);
    return std::nullopt;
  }
  return entry;
}

bool RemoveAbsentDisks(DeviceTable& context, const std::vector<BlockDisk>& present, int keep, int32_t& selected) {
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
  context.devicesDenied = 0;
  for (int i = 0; i < context.deviceCount; ++i)
    if (context.devices[i].needsAccess) ++context.devicesDenied;
  return changed;
}

int InsertDeviceEntry(DeviceTable& context, const DeviceEntry& entry, int position, int32_t& selected) {
  if (IsListed(context, entry.path)) {
    if (entry.handle >= 0) ::close(entry.handle);
    return -1;
  }
  return PlaceEntry(context, entry, position, selected);
}

void BuildDeviceTable(DeviceTable& context, const std::string& sysRoot, bool listDenied) {
  int32_t selected = 0;
  for (const BlockDisk& disk : ListBlockDisks(sysRoot)) {
    if (context.deviceCount >= kMaxDevices) break;
    bool denied = false;
    std::optional<DeviceEntry> entry = DescribeBlockDisk(disk, sysRoot, listDenied, &denied);
    // Left out for lack of permission, it is still counted.
    if (denied && !entry) ++context.devicesDenied;
    if (entry) PlaceEntry(context, *entry, context.deviceCount, selected);
  }
}

bool RefreshDeviceTable(DeviceTable& context, int keep, int32_t& selected, const std::string& sysRoot,
                        bool listDenied) {
  const std::vector<BlockDisk> present = ListBlockDisks(sysRoot);
  bool changed = RemoveAbsentDisks(context, present, keep, selected);
  for (const BlockDisk& disk : present) {
    if (IsListed(context, disk.devNode.c_str()) || context.deviceCount >= kMaxDevices) continue;
    bool denied = false;
    std::optional<DeviceEntry> entry = DescribeBlockDisk(disk, sysRoot, listDenied, &denied);
    if (denied && !entry) ++context.devicesDenied;
    if (entry && InsertDeviceEntry(context, *entry, context.deviceCount, selected) >= 0) changed = true;
  }
  return changed;
}

std::optional<BlockDisk> CheckAdoptedDescriptor(const DeviceTable& context, int index, int fd,
                                                std::string* error, const std::string& sysRoot) {
  auto refuse = [&](const std::string& why) -> std::optional<BlockDisk> {
    if (fd >= 0) ::close(fd);
    if (error) *error = why;
    return std::nullopt;
  };
  if (index < 0 || index >= context.deviceCount || !context.devices[index].needsAccess)
    return refuse("no disk waits for access at that place in the table");
  const DeviceEntry& entry = context.devices[index];
  // A descriptor that could write would undo the guarantee that the scanned
  // disk is never written, whoever opened it.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) != O_RDONLY)
    return refuse(std::string("the descriptor for ") + entry.path + " is not read-only");
  std::optional<BlockDisk> disk;
  for (const BlockDisk& d : ListBlockDisks(sysRoot))
    if (d.devNode == entry.path) disk = d;
  if (!disk) return refuse(std::string(entry.path) + " is no longer attached");
  struct stat st {};
  const std::string number = ReadSysfsText(disk->sysDir + "/dev");
  if (::fstat(fd, &st) != 0 || !S_ISBLK(st.st_mode) ||
      number != std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)))
    return refuse(std::string("the descriptor given for ") + entry.path + " is not that disk");
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  disk->diskNumber = entry.diskNumber;
  return disk;
}

std::optional<DeviceEntry> DescribeAdoptedDisk(const BlockDisk& disk, int fd, const std::string& sysRoot) {
  DeviceEntry described{};
  described.handle = fd;
  described.diskNumber = disk.diskNumber;
  std::snprintf(described.path, sizeof described.path, "%s", disk.devNode.c_str());
  if (DescribeOpenedDisk(described, disk, sysRoot)) return described;
  ::close(fd);
  return std::nullopt;
}

int PlaceAdoptedEntry(DeviceTable& context, const DeviceEntry& described) {
  for (int i = 0; i < context.deviceCount; ++i) {
    DeviceEntry& entry = context.devices[i];
    if (!entry.needsAccess || std::strcmp(entry.path, described.path) != 0) continue;
    entry = described;
    if (context.devicesDenied > 0) --context.devicesDenied;
    return i;
  }
  if (described.handle >= 0) ::close(described.handle);
  return -1;
}

bool AdoptDeviceDescriptor(DeviceTable& context, int index, int fd, std::string* error,
                           const std::string& sysRoot) {
  const std::optional<BlockDisk> disk = CheckAdoptedDescriptor(context, index, fd, error, sysRoot);
  if (!disk) return false;
  const std::optional<DeviceEntry> described = DescribeAdoptedDisk(*disk, fd, sysRoot);
  if (!described) {
    if (error) *error = disk->devNode + " holds no medium that can be read";
    return false;
  }
  return PlaceAdoptedEntry(context, *described) >= 0;
}

}  // namespace lumicarve
