#include "results/ui/exif_reader.h"

#include <exiv2/exiv2.hpp>

#include <limits>
#include <mutex>

namespace lumicarve {
namespace {

constexpr size_t kCameraTextMax = 63;

// Only ASCII values count, as the cameras write them.
std::string AsciiValue(const Exiv2::ExifData& exif, const char* key) {
  auto it = exif.findKey(Exiv2::ExifKey(key));
  if (it == exif.end() || it->typeId() != Exiv2::asciiString) return {};
  std::string text = it->toString();
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  if (text.size() > kCameraTextMax) text.resize(kCameraTextMax);
  return text;
}

}  // namespace

bool StartImaging() {
  Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
  return Exiv2::XmpParser::initialize();
}

bool StopImaging() {
  Exiv2::XmpParser::terminate();
  return true;
}

// Reads the camera fields of the picture `open` hands over.
template <typename Open>
ExifFields ReadFields(Open&& open) {
  // Muted even when no window started the library (the tests, say).
  static std::once_flag muted;
  std::call_once(muted, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
  ExifFields fields;
  try {
    auto image = open();
    if (!image.get()) return fields;
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    if (exif.empty()) return fields;
    fields.make = AsciiValue(exif, "Exif.Image.Make");
    fields.model = AsciiValue(exif, "Exif.Image.Model");
  } catch (...) {
    // Exiv2 throws on damaged or truncated metadata: such a file has no EXIF.
    return ExifFields{};
  }
  return fields;
}

ExifFields ReadExifFields(const uint8_t* bytes, size_t size) {
  if (!bytes || size == 0 || size > static_cast<size_t>(std::numeric_limits<long>::max())) return {};
  return ReadFields([&] { return Exiv2::ImageFactory::open(bytes, static_cast<long>(size)); });
}

}  // namespace lumicarve
