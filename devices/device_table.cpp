#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "devices/device_list.h"
#include "devices/disk_enum.h"
#include "devices/disk_query.h"
#include "devices/volumes.h"

namespace lumicarve {

void BuildDeviceTable(DeviceTable& context, const std::string& sysRoot) {
  for (const BlockDisk& disk : ListBlockDisks(sysRoot)) {
    if (context.deviceCount >= kMaxDevices) break;
    // Read-only, always: the program never writes to a disk it scans, and a
    // descriptor without write access makes that a property of the handle.
    const int fd = ::open(disk.devNode.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == EACCES || errno == EPERM) ++context.devicesDenied;
      continue;
    }
    DeviceEntry& entry = context.devices[context.deviceCount];
    entry = DeviceEntry{};
    entry.handle = fd;
    std::snprintf(entry.path, sizeof entry.path, "%s", disk.devNode.c_str());
    if (!DescribeDisk(entry, disk.sysDir)) {
      ::close(fd);
      entry = DeviceEntry{};
      entry.handle = -1;
      continue;
    }
    entry.diskNumber = disk.diskNumber;
    FindDiskVolumes(entry, disk.sysDir, sysRoot);
    ComposeDeviceLabel(entry);
    ++context.deviceCount;
  }
  if (context.deviceCount > 0 && context.scannedDeviceIndex < 0) context.scannedDeviceIndex = 0;
}

}  // namespace lumicarve
