// Fuzz support: the fuzzer's bytes become a device, a memfd read through the
// real ReadSectors path, installed as the only entry of a scan context.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "scan/scan_context.h"
#include "scan/sector_reader.h"

namespace lumicarve::fuzz {

// Writes `size` bytes into a new memfd; -1 when one cannot be made.
inline int MakeMemoryDevice(const uint8_t* data, size_t size) {
  const int fd = ::memfd_create("lumicarve-fuzz-device", MFD_CLOEXEC);
  if (fd < 0) return -1;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return fd;
}

// Makes `fd` (holding `size` bytes) the scanned device of `c`.
inline void InstallDevice(ScanContext& c, int fd, size_t size) {
  DeviceEntry& d = c.devices[0];
  d = DeviceEntry{};
  d.handle = fd;
  d.totalSectors = (size + kSectorSize - 1) / kSectorSize;
  c.deviceCount = 1;
  c.scannedDeviceIndex = 0;
  c.selectedDeviceIndex = 0;
  SetReadLimit(d.totalSectors);
}

// A scan context with the memfd closed again when it goes.
struct FuzzDevice {
  std::unique_ptr<ScanContext> context = std::make_unique<ScanContext>();
  int fd = -1;

  FuzzDevice(const uint8_t* data, size_t size) : fd(MakeMemoryDevice(data, size)) {
    if (fd >= 0) InstallDevice(*context, fd, size);
  }
  ~FuzzDevice() {
    if (fd >= 0) ::close(fd);
  }
  FuzzDevice(const FuzzDevice&) = delete;
  FuzzDevice& operator=(const FuzzDevice&) = delete;
};

}  // namespace lumicarve::fuzz
