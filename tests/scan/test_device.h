// Test support: a device made of real bytes (an in-memory file read through
// the real ReadSectors path), and a sink that records what the scan reports.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "scan/preview_temp.h"
#include "scan/scan_context.h"
#include "scan/scan_loop.h"
#include "scan/sector_reader.h"

namespace lumicarve::test {

inline std::vector<uint8_t> ReadTestFile(const std::string& relative) {
  std::ifstream in(std::string(LUMICARVE_TEST_DATA) + "/" + relative, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Builds a disk image: files placed at sector-aligned offsets among filler.
class ImageBuilder {
 public:
  // Appends `sectors` sectors of zeros, or of seeded random bytes.
  ImageBuilder& Zeros(uint64_t sectors) {
    bytes_.resize(bytes_.size() + sectors * kSectorSize, 0);
    return *this;
  }
  ImageBuilder& Random(uint64_t sectors, uint32_t seed = 7) {
    std::mt19937 rng(seed);
    for (uint64_t i = 0; i < sectors * kSectorSize; ++i) bytes_.push_back(static_cast<uint8_t>(rng()));
    return *this;
  }
  // Appends `data` at the next sector boundary; returns its start sector. The
  // rest of its last sector is zeros.
  uint64_t Place(const std::vector<uint8_t>& data) {
    Align();
    const uint64_t start = bytes_.size() / kSectorSize;
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    Align();
    return start;
  }
  ImageBuilder& Bytes(const std::vector<uint8_t>& data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  // Appends `data` at the next sector boundary with random bytes after it to
  // the end of its last sector, as on a card where its slack was reused.
  uint64_t PlaceWithRandomSlack(const std::vector<uint8_t>& data, uint32_t seed) {
    Align();
    const uint64_t start = bytes_.size() / kSectorSize;
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    std::mt19937 rng(seed);
    while (bytes_.size() % kSectorSize) bytes_.push_back(static_cast<uint8_t>(rng() | 1));
    return start;
  }
  void Align() { bytes_.resize((bytes_.size() + kSectorSize - 1) / kSectorSize * kSectorSize, 0); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A memfd holding `bytes`, installed as the context's only device.
inline int InstallDevice(ScanContext& c, const std::vector<uint8_t>& bytes) {
  const int fd = ::memfd_create("lumicarve-test-device", MFD_CLOEXEC);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  DeviceEntry& d = c.devices[0];
  d = DeviceEntry{};
  d.handle = fd;
  d.totalSectors = (bytes.size() + kSectorSize - 1) / kSectorSize;
  c.deviceCount = 1;
  c.scannedDeviceIndex = 0;
  c.selectedDeviceIndex = 0;
  SetReadLimit(d.totalSectors);
  return fd;
}

struct Notification {
  int code;
  int64_t arg;
  int32_t state;
};

class RecordingSink : public ScanNotifySink {
 public:
  explicit RecordingSink(ScanContext& c) : c_(c) { c.owner = this; }
  void ScanNotify(int code, int64_t arg, std::unique_ptr<FoundFile> file) override {
    notes.push_back({code, arg, c_.scanState.load()});
    if (file) {
      if (c_.previewTempFd != -1) {
        previewSizes.push_back(FileSize(c_.previewTempPath));
        previewPaths.push_back(c_.previewTempPath);
        ::unlink(c_.previewTempPath);
        c_.previewTempFd = -1;
      } else {
        previewSizes.push_back(-1);
        previewPaths.emplace_back();
      }
      files.push_back(*file);
    }
    if (onNotify) onNotify(code, arg);
  }
  static long FileSize(const char* path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<long>(in.tellg()) : -1;
  }

  std::vector<Notification> notes;
  std::vector<FoundFile> files;
  std::vector<long> previewSizes;  // bytes of the preview temp file per record, -1 = none
  std::vector<std::string> previewPaths;
  std::function<void(int, int64_t)> onNotify;

 private:
  ScanContext& c_;
};

// Scans `bytes` on the calling thread with the given settings.
struct ScanRun {
  std::unique_ptr<ScanContext> context = std::make_unique<ScanContext>();
  std::unique_ptr<RecordingSink> sink = std::make_unique<RecordingSink>(*context);
  int result = -1;
  int fd = -1;

  explicit ScanRun(const std::vector<uint8_t>& bytes, FileTypeMask types = kAllTypes, int32_t minimumKb = 0) {
    context->typeSelection = types;
    context->minimumSize = minimumKb;
    fd = InstallDevice(*context, bytes);
  }
  ScanRun& Run() {
    context->activityFlags.store(kActivityScan);
    result = ScanThread(context.get());
    return *this;
  }
  ~ScanRun() {
    if (fd >= 0) ::close(fd);
  }
  const std::vector<FoundFile>& files() const { return sink->files; }
};

}  // namespace lumicarve::test
