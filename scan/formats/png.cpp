// PNG: the file ends 8 bytes after the start of the IEND chunk type (the type
// and its 4-byte CRC). The type may straddle two sectors.
#include <cstring>

#include "scan/formats/end_rules.h"
#include "scan/formats/registry.h"

namespace lumicarve {

std::optional<uint64_t> PngSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev) {
  const uint32_t last3 = prev.last4 & 0xFFFFFF;
  if (last3 == 0x49454E && s.equals(0, "D", 1)) return offset + 5;             // "IEN" | "D"
  if ((last3 & 0xFFFF) == 0x4945 && s.equals(0, "ND", 2)) return offset + 6;  // "IE" | "ND"
  if ((last3 & 0xFF) == 0x49 && s.equals(0, "END", 3)) return offset + 7;     // "I" | "END"
  // IEND may start at any offset up to 511, its last bytes in the next sector.
  const std::optional<size_t> hit = s.find(0, kRuleSectorBytes, "IEND", 4);
  if (!hit) return std::nullopt;
  return offset + *hit + 8;
}

namespace {

bool PngSignature(const ByteView& s) { return s.equals(0, "\x89PNG", 4); }

std::optional<uint64_t> PngEnd(const ByteView& s, uint64_t, uint64_t offset, const PreviousSector& prev,
                               FileRuleState&, FileTypeMask) {
  return PngSectorEnd(s, offset, prev);
}

}  // namespace

extern const FileFormat kPngFormat{.type = FT_PNG, .extension = "PNG", .description = 61233,
                                   .group = TypeGroup::kPicture, .signature = PngSignature, .firstBytes = "\x89",
                                   .sectorEnd = PngEnd};

}  // namespace lumicarve
