// A whole scan, all types enabled, of the fuzzer's bytes as a device. Every
// reported record must start and end inside the device, and every preview
// temp file is removed again as the window would.
#include <unistd.h>

#include <cstdlib>

#include "fuzz_device.h"
#include "scan/scan_loop.h"

namespace {

class CheckingSink : public lumicarve::ScanNotifySink {
 public:
  explicit CheckingSink(lumicarve::ScanContext& c) : c_(c) {}
  void ScanNotify(int, int64_t, std::unique_ptr<lumicarve::FoundFile> file) override {
    if (c_.previewTempFd != -1) {
      ::unlink(c_.previewTempPath);
      c_.previewTempFd = -1;
    }
    if (!file) return;
    const uint64_t total = c_.ScannedSectors();
    if (file->startSector >= total || file->length < 2 || file->length > (total - file->startSector) * 512)
      std::abort();
  }

 private:
  lumicarve::ScanContext& c_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  lumicarve::fuzz::FuzzDevice device(data, size);
  if (device.fd < 0) return 0;
  lumicarve::ScanContext& c = *device.context;
  CheckingSink sink(c);
  c.owner = &sink;
  c.typeSelection = lumicarve::kAllTypes;
  c.activityFlags.store(lumicarve::kActivityScan);
  lumicarve::ScanThread(&c);
  if (c.scanState.load() != lumicarve::SCAN_DONE) std::abort();
  return 0;
}
