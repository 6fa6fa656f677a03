#include "scan/file_types.h"

#include <cstring>

namespace lumicarve {
namespace {

struct CatalogueRow {
  FileTypeMask mask;
  uint32_t description;
  const char* extension;
};

// Sorted by extension as stored: "AVI" comes before "ARW".
constexpr CatalogueRow kCatalogue[] = {
    {FT_3GP, 61239, "3GP"}, {FT_AVI, 61226, "AVI"}, {FT_ARW, 61246, "ARW"}, {FT_BMP, 61227, "BMP"},
    {FT_CR2, 61241, "CR2"}, {FT_DNG, 61245, "DNG"}, {FT_GIF, 61228, "GIF"}, {FT_JPG, 61230, "JPG"},
    {FT_MOV, 61231, "MOV"}, {FT_MP4, 61240, "MP4"}, {FT_MPG, 61232, "MPG"}, {FT_MTS, 61236, "MTS"},
    {FT_NEF, 61242, "NEF"}, {FT_ORF, 61244, "ORF"}, {FT_PEF, 61243, "PEF"}, {FT_PNG, 61233, "PNG"},
    {FT_RW2, 61247, "RW2"}, {FT_SRW, 61248, "SRW"}, {FT_TIF, 61234, "TIF"}, {FT_WMV, 61235, "WMV"},
};

void SetEntry(TypeEntry& e, FileTypeMask mask, uint32_t description, const char* extension) {
  e.mask = mask;
  e.description = description;
  std::memcpy(e.extension, extension, 3);
  e.extension[3] = '\0';
}

}  // namespace

void FillTypeCatalogue(TypeCatalogue& catalogue) {
  catalogue = {};
  size_t i = 0;
  for (const CatalogueRow& row : kCatalogue) SetEntry(catalogue[i++], row.mask, row.description, row.extension);
  SetEntry(catalogue[i], kAllTypes, 0, "...");
}

char* ExtensionForType(const TypeCatalogue& catalogue, FileTypeMask type, char* out) {
  std::memcpy(out, "000", 4);
  for (const TypeEntry& e : catalogue) {
    if (e.mask == kAllTypes) break;
    if (e.mask == type) {
      std::memcpy(out, e.extension, 4);
      break;
    }
  }
  return out;
}

bool IsPictureType(FileTypeMask type) {
  switch (static_cast<uint32_t>(type)) {
    case FT_JPG: case FT_PNG: case FT_GIF: case FT_BMP: case FT_TIF: return true;
    default: return false;
  }
}

bool IsRawType(FileTypeMask type) {
  switch (static_cast<uint32_t>(type)) {
    case FT_CR2: case FT_NEF: case FT_PEF: case FT_ORF: case FT_DNG: case FT_ARW: case FT_RW2:
    case FT_SRW: return true;
    default: return false;
  }
}

bool IsVideoType(FileTypeMask type) {
  switch (static_cast<uint32_t>(type)) {
    case FT_MOV: case FT_AVI: case FT_MPG: case FT_WMV: case FT_MTS: case FT_MP4: case FT_3GP:
      return true;
    default: return false;
  }
}

}  // namespace lumicarve
