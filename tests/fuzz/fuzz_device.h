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

// Ignores what the scan reports.
class NullObserver : public ScanObserver {
 public:
  void OnProgress(int) override {}
  void OnFileFound(std::unique_ptr<FoundFile>) override {}
  void OnFinished(const ScanResult&) override {}
};

// A scan context over the memfd, closed again when it goes.
struct FuzzDevice {
  NullObserver observer;
  std::unique_ptr<ScanContext> context;
  int fd = -1;

  FuzzDevice(const uint8_t* data, size_t size, ScanObserver* reportTo = nullptr) : fd(MakeMemoryDevice(data, size)) {
    ScanJob job;
    job.handle = fd;
    job.sectors = (size + kSectorSize - 1) / kSectorSize;
    context = std::make_unique<ScanContext>(job, reportTo ? *reportTo : observer);
    SetReadLimit(job.sectors);
  }
  ~FuzzDevice() {
    if (fd >= 0) ::close(fd);
  }
  FuzzDevice(const FuzzDevice&) = delete;
  FuzzDevice& operator=(const FuzzDevice&) = delete;
};

}  // namespace lumicarve::fuzz
