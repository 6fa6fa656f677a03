// A whole scan, all types enabled, of the fuzzer's bytes as a device. Every
// reported record must start and end inside the device, and the end is
// reported once.
#include <cstdlib>

#include "fuzz_device.h"
#include "scan/scan_loop.h"

namespace {

class CheckingSink : public lumicarve::ScanObserver {
 public:
  explicit CheckingSink(uint64_t sectors) : sectors_(sectors) {}
  void OnProgress(int) override {}
  void OnFileFound(std::unique_ptr<lumicarve::FoundFile> file) override {
    if (file->startSector >= sectors_ || file->length < 2 || file->length > (sectors_ - file->startSector) * 512)
      std::abort();
  }
  void OnFinished(const lumicarve::ScanResult& result) override {
    if (result.end != lumicarve::ScanEnd::kCompleted) std::abort();
    ++finished;
  }
  int finished = 0;

 private:
  uint64_t sectors_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  CheckingSink sink((size + lumicarve::kSectorSize - 1) / lumicarve::kSectorSize);
  lumicarve::fuzz::FuzzDevice device(data, size, &sink);
  if (device.fd < 0) return 0;
  lumicarve::RunScan(*device.context);
  if (sink.finished != 1) std::abort();
  return 0;
}
