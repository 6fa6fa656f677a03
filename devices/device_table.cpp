#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "devices/device_list.h"
#include "devices/disk_enum.h"
#include "devices/disk_query.h"
#include "devices/volumes.h"

namespace lumicarve {
namespace {

// Opens and describes one disk into the next free slot. False when the disk
// cannot be opened or described; a refusal for lack of permission is counted.
bool AddDisk(ScanContext& context, const BlockDisk& disk, const std::string& sysRoot) {
  if (context.deviceCount >= kMaxDevices) return false;
  // Read-only, always: the program never writes to a disk it scans, and a
  // descriptor without write access makes that a property of the handle.
  const int fd = ::open(disk.devNode.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == EACCES || errno == EPERM) ++context.devicesDenied;
    return false;
  }
  DeviceEntry& entry = context.devices[context.deviceCount];
  entry = DeviceEntry{};
  entry.handle = fd;
  std::snprintf(entry.path, sizeof entry.path, "%s", disk.devNode.c_str());
  if (!DescribeDisk(entry, disk.sysDir)) {
    ::close(fd);
    entry = DeviceEntry{};
    entry.handle = -1;
    return false;
  }
  entry.diskNumber = disk.diskNumber;
  FindDiskVolumes(entry, disk.sysDir, sysRoot);
  ComposeDeviceLabel(entry);
  ++context.deviceCount;
  return true;
}

}  // namespace

void BuildDeviceTable(ScanContext& context, const std::string& sysRoot) {
  for (const BlockDisk& disk : ListBlockDisks(sysRoot)) {
    if (context.deviceCount >= kMaxDevices) break;
    AddDisk(context, disk, sysRoot);
  }
  if (context.deviceCount > 0 && context.scannedDeviceIndex < 0) context.scannedDeviceIndex = 0;
}

bool RefreshDeviceTable(ScanContext& context, int keep, const std::string& sysRoot) {
  const std::vector<BlockDisk> present = ListBlockDisks(sysRoot);
  auto listed = [&](const char* path) {
    return std::any_of(present.begin(), present.end(),
                       [&](const BlockDisk& d) { return d.devNode == path; });
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
      if (context.selectedDeviceIndex == from) context.selectedDeviceIndex = 0;
      continue;
    }
    auto remap = [&](int32_t& index) {
      if (index == from) index = to;
    };
    remap(context.selectedDeviceIndex);
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
  for (const BlockDisk& disk : present) {
    bool known = false;
    for (int i = 0; i < context.deviceCount && !known; ++i)
      known = std::strcmp(context.devices[i].path, disk.devNode.c_str()) == 0;
    if (!known && AddDisk(context, disk, sysRoot)) changed = true;
  }
  return changed;
}

}  // namespace lumicarve
