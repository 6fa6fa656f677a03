// The EXIF reader of decoded pictures on a JPEG start (SOI and an APP1 EXIF
// segment header) followed by the fuzzer's bytes. The reader must swallow
// every error of the EXIF library and never crash or leak.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_device.h"
#include "results/ui/exif_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // The segment length covers the fuzzer's bytes (clipped), so the EXIF
  // parser is reached and reads the hostile TIFF structure inside.
  const size_t segment = std::min<size_t>(size + 8, 0xFFFF);
  std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xE1, static_cast<uint8_t>(segment >> 8),
                                static_cast<uint8_t>(segment & 0xFF), 'E', 'x', 'i', 'f', 0, 0};
  bytes.insert(bytes.end(), data, data + size);
  const lumicarve::ExifFields fields = lumicarve::ReadExifFields(bytes.data(), bytes.size());
  if (fields.make.size() > 63 || fields.model.size() > 63) std::abort();
  return 0;
}
