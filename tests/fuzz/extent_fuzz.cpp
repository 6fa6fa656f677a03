// The header-length rules and the RAW preview reader on a start sector shaped
// like a TIFF, an ASF or an atom file, followed by the fuzzer's bytes. The
// first input byte picks the shape; the rest overwrites the sector from just
// after its signature, so the walkers see a valid start and hostile fields.
#include <vector>

#include "fuzz_device.h"
#include "scan/extent.h"
#include "scan/raw_preview.h"

namespace {

using lumicarve::FileTypeMask;

struct Shape {
  FileTypeMask type;
  std::vector<uint8_t> signature;
};

const Shape kShapes[] = {
    {lumicarve::FT_TIF, {'I', 'I', 0x2A, 0x00}},
    {lumicarve::FT_TIF, {'M', 'M', 0x00, 0x2A}},
    {lumicarve::FT_ASF, {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62,
                         0xCE, 0x6C}},
    {lumicarve::FT_MOV, {0x00, 0x00, 0x00, 0x14, 'f', 't', 'y', 'p', 'q', 't', ' ', ' '}},
    {lumicarve::FT_MP4, {0x00, 0x00, 0x00, 0x18, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm'}},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const Shape& shape = kShapes[data[0] % (sizeof kShapes / sizeof kShapes[0])];
  std::vector<uint8_t> bytes(shape.signature);
  bytes.insert(bytes.end(), data + 1, data + size);
  if (bytes.size() < lumicarve::kSectorSize) bytes.resize(lumicarve::kSectorSize, 0);

  lumicarve::fuzz::FuzzDevice device(bytes.data(), bytes.size());
  if (device.fd < 0) return 0;
  lumicarve::ScanContext& c = *device.context;

  FileTypeMask type = shape.type;
  lumicarve::FindExtent(c, 0, type);

  lumicarve::FoundFile record{};
  record.type = lumicarve::FT_TIF;
  record.startSector = 0;
  record.length = bytes.size();
  lumicarve::PreviewInfo info{};
  lumicarve::ReadRawPreview(device.fd, record, info);
  return 0;
}
