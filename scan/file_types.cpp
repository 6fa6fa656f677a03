#include "scan/file_types.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scan/formats/registry.h"

namespace lumicarve {
namespace {

void SetEntry(TypeEntry& e, FileTypeMask mask, uint32_t description, const char* extension) {
  e.mask = mask;
  e.description = description;
  std::snprintf(e.extension, sizeof e.extension, "%s", extension);
}

// Extension order, except that the stored catalogue lists AVI before ARW.
std::string SortKey(const char* extension) {
  const std::string key = extension;
  return key == "ARW" ? std::string("AVI\x01") : key;
}

TypeGroup GroupOf(FileTypeMask type) {
  const FileFormat* f = FormatOf(type & 0xFFFFFFFFu);
  return f ? f->group : TypeGroup::kNone;
}

}  // namespace

void FillTypeCatalogue(TypeCatalogue& catalogue) {
  catalogue = {};
  std::vector<const FileFormat*> rows;
  for (const FileFormat* f : Formats())
    if (f->extension) rows.push_back(f);
  std::sort(rows.begin(), rows.end(),
            [](const FileFormat* a, const FileFormat* b) { return SortKey(a->extension) < SortKey(b->extension); });
  size_t i = 0;
  for (const FileFormat* f : rows) {
    if (i + 1 >= catalogue.size()) break;
    SetEntry(catalogue[i++], f->type, f->description, f->extension);
  }
  SetEntry(catalogue[i], kAllTypes, 0, "...");
}

char* ExtensionForType(const TypeCatalogue& catalogue, FileTypeMask type, char* out) {
  std::memcpy(out, "000", 4);
  for (const TypeEntry& e : catalogue) {
    if (e.mask == kAllTypes) break;
    if (e.mask == type) {
      std::memcpy(out, e.extension, sizeof e.extension);
      break;
    }
  }
  return out;
}

bool IsPictureType(FileTypeMask type) { return GroupOf(type) == TypeGroup::kPicture; }
bool IsRawType(FileTypeMask type) { return GroupOf(type) == TypeGroup::kRaw; }
bool IsVideoType(FileTypeMask type) { return GroupOf(type) == TypeGroup::kVideo; }

}  // namespace lumicarve
