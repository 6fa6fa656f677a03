// Test support: a device made of real bytes (an in-memory file read through
// the real ReadSectors path), and an observer that records what the scan reports.
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

#include "devices/device_table.h"
#include "scan/filetime.h"
#include "scan/scan_context.h"
#include "scan/scan_loop.h"
#include "scan/sector_reader.h"

namespace lumicarve::test {

// The FILETIME of a local calendar time, as the files' metadata give it.
inline uint64_t FiletimeAt(int year, int month, int day, int hour, int minute, int second) {
  CalendarTime t;
  t.year = year, t.month = month, t.day = day, t.hour = hour, t.minute = minute, t.second = second;
  uint64_t filetime = 0;
  CalendarToFiletime(t, filetime);
  return filetime;
}

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

// A memfd holding `bytes`; the sector reader is bounded to its size.
inline int MakeDevice(const std::vector<uint8_t>& bytes) {
  const int fd = ::memfd_create("lumicarve-test-device", MFD_CLOEXEC);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  SetReadLimit((bytes.size() + kSectorSize - 1) / kSectorSize);
  return fd;
}

// The same, installed as the table's only device and the scanned one.
inline int InstallDevice(DeviceTable& t, const std::vector<uint8_t>& bytes) {
  const int fd = MakeDevice(bytes);
  DeviceEntry& d = t.devices[0];
  d = DeviceEntry{};
  d.handle = fd;
  d.totalSectors = (bytes.size() + kSectorSize - 1) / kSectorSize;
  t.deviceCount = 1;
  t.scannedDeviceIndex = 0;
  return fd;
}

// Records what the scan reports, in order.
class RecordingObserver : public ScanObserver {
 public:
  void OnProgress(int perMille) override {
    progress.push_back(perMille);
    if (onProgress) onProgress(perMille);
  }
  void OnFileFound(std::unique_ptr<FoundFile> file) override { files.push_back(*file); }
  void OnFinished(const ScanResult& result) override { finished.push_back(result); }

  std::vector<int> progress;
  std::vector<FoundFile> files;
  std::vector<ScanResult> finished;
  std::function<void(int)> onProgress;
};

// Scans `bytes` on the calling thread with the given settings.
struct ScanRun {
  int fd = -1;
  std::unique_ptr<RecordingObserver> sink = std::make_unique<RecordingObserver>();
  std::unique_ptr<ScanContext> context;
  ScanResult result;

  explicit ScanRun(const std::vector<uint8_t>& bytes, FileTypeMask types = kAllTypes, int32_t minimumKb = 0) {
    fd = MakeDevice(bytes);
    ScanJob job;
    job.handle = fd;
    job.sectors = (bytes.size() + kSectorSize - 1) / kSectorSize;
    job.types = types;
    job.minimumBytes = uint64_t(uint32_t(minimumKb)) * 1024;
    context = std::make_unique<ScanContext>(job, *sink);
  }
  ScanRun& Run() {
    result = RunScan(*context);
    return *this;
  }
  ~ScanRun() {
    if (fd >= 0) ::close(fd);
  }
  const std::vector<FoundFile>& files() const { return sink->files; }
};

}  // namespace lumicarve::test
