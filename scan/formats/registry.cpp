#include "scan/formats/registry.h"

#include <array>

namespace lumicarve {

extern const FileFormat kJpegFormat, kPngFormat, kGifFormat, kBmpFormat, kTiffFormat, kCr2Format, kNefFormat,
    kPefFormat, kOrfFormat, kDngFormat, kArwFormat, kRw2Format, kSrwFormat, k3gpFormat, kMp4Format, kMovFormat,
    kAviFormat, kMpegFormat, kAvchdFormat, kAsfFormat, kWmvFormat, kAvifFormat, kHeicFormat, kCr3Format,
    kWebpFormat, kRafFormat, kMkvFormat, kWebmFormat;

namespace {

// The order of the rows with a signature is the order of the tests: the first
// enabled test that matches decides.
constexpr const FileFormat* kFormats[] = {
    &kJpegFormat, &kPngFormat, &kGifFormat, &kBmpFormat, &kTiffFormat,
    // ISO media brands the catalogue knows come before the QuickTime rows,
    // which take any other ftyp.
    &kAvifFormat, &kHeicFormat, &kCr3Format, &k3gpFormat, &kMp4Format, &kMovFormat,
    &kAviFormat, &kWebpFormat, &kMpegFormat, &kAvchdFormat, &kAsfFormat, &kRafFormat, &kMkvFormat, &kWebmFormat,
    // Reached by re-typing only.
    &kCr2Format,  &kNefFormat,  &kPefFormat, &kOrfFormat, &kDngFormat,  &kArwFormat,
    &kRw2Format,  &kSrwFormat,  &kWmvFormat,
};
static_assert(std::size(kFormats) <= 64, "the recogniser indexes rows by a 64-bit set");

struct ByBit {
  std::array<const FileFormat*, 64> rows{};
  ByBit() {
    for (const FileFormat* f : kFormats) rows[static_cast<size_t>(__builtin_ctzll(f->type))] = f;
  }
};

}  // namespace

std::span<const FileFormat* const> Formats() { return kFormats; }

const FileFormat* FormatOf(FileTypeMask type) {
  static const ByBit byBit;
  if (type == 0 || (type & (type - 1)) != 0) return nullptr;
  return byBit.rows[static_cast<size_t>(__builtin_ctzll(type))];
}

}  // namespace lumicarve
