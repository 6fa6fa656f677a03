#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "devices/device_list.h"
#include "devices/disk_query.h"
#include "scan/sector_reader.h"
#include "text/text_format.h"

#include "text/translatable.h"

namespace lumicarve {

std::string CapacityText(uint64_t bytes) { return FormatSize(bytes); }

int AddImageDevice(DeviceTable& context, const std::string& path, Message* error) {
  auto fail = [&](const char* format, std::vector<std::string> args = {}) {
    if (error) *error = Message{format, std::move(args)};
    return -1;
  };
  if (context.deviceCount >= kMaxDevices) return fail(QT_TRANSLATE_NOOP("Lumicarve", "the device table is full"));
  // Read-only, always: the program never writes to what it scans. Opened
  // without blocking, so a FIFO or a terminal is refused at once instead of
  // waiting in open() for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return fail(QT_TRANSLATE_NOOP("Lumicarve", "cannot open %1: %2"), {path, std::strerror(errno)});
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
    ::close(fd);
    return fail(QT_TRANSLATE_NOOP("Lumicarve", "%1 is neither a disk image file nor a block device"), {path});
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  uint64_t bytes = static_cast<uint64_t>(st.st_size);
  if (S_ISBLK(st.st_mode) && ::ioctl(fd, BLKGETSIZE64, &bytes) != 0) {
    int err = errno;
    ::close(fd);
    return fail(QT_TRANSLATE_NOOP("Lumicarve", "cannot read the size of %1: %2"), {path, std::strerror(err)});
  }
  DeviceEntry& e = context.devices[context.deviceCount];
  e = DeviceEntry{};
  e.handle = fd;
  e.diskNumber = -1;
  e.isImage = S_ISREG(st.st_mode) ? 1 : 0;
  // A partial last sector of an image reads as zeros.
  e.totalSectors = (bytes + kSectorSize - 1) / kSectorSize;
  e.totalBytes = e.totalSectors * kSectorSize;
  e.bytesPerSector = kSectorSize;
  e.sectorsPerTrack = 63;
  e.tracksPerCylinder = 255;
  e.cylinders = static_cast<int64_t>(e.totalSectors / (255 * 63));
  std::snprintf(e.path, sizeof e.path, "%s", path.c_str());
  std::string name = path.substr(path.find_last_of('/') + 1);
  std::snprintf(e.model, sizeof e.model, "%s", name.c_str());
  ComposeDeviceLabel(e);
  if (context.scannedDeviceIndex < 0) context.scannedDeviceIndex = context.deviceCount;
  return context.deviceCount++;
}

}  // namespace lumicarve
