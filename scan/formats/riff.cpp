// AVI and WebP: a RIFF file whose 32-bit little-endian size at offset 4 counts the
// bytes after the first 8. A claim shorter than the RIFF header itself is no
// file.
#include <cstring>

#include "scan/extent.h"
#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

Extent RiffExtent(ScanContext& context, uint64_t startSector, FileTypeMask&) {
  constexpr uint64_t kRiffHeader = 12;  // "RIFF", size, form type
  uint32_t size = 0;
  if (!ReadStartField32(context, startSector, 4, size)) return Extent::Drop();
  return Extent::Claim(uint64_t{size} + 8, kRiffHeader);
}

bool AviSignature(const ByteView& s) { return s.equals(0, "RIFF", 4) && s.equals(8, "AVI", 3); }

bool WebpSignature(const ByteView& s) {
  return s.equals(0, "RIFF", 4) && s.equals(8, "WEBP", 4);
}

}  // namespace

extern const FileFormat kAviFormat{.type = FT_AVI, .extension = "AVI", .description = 61226,
                                   .group = TypeGroup::kVideo, .signature = AviSignature, .firstBytes = "R",
                                   .extent = RiffExtent};

// WebP: a RIFF file of form type "WEBP", sized as AVI is.
extern const FileFormat kWebpFormat{.type = FT_WEBP, .extension = "WEBP", .description = 61402,
                                    .group = TypeGroup::kPicture, .signature = WebpSignature, .firstBytes = "R",
                                    .extent = RiffExtent};

}  // namespace lumicarve
