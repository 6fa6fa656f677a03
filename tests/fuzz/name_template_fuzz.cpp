// The naming template on arbitrary templates, dates, types and sequence
// numbers. Whatever the template, the result must be a relative path below
// the destination: no leading '/', no empty, "." or ".." component, no
// control character, no component longer than a file name may be.
#include <cstdlib>
#include <cstring>
#include <string>

#include "scan/file_types.h"
#include "recovery/name_template.h"

namespace {

// Aborts unless `path` stays below the folder it is appended to.
void CheckBelowDestination(const std::string& path) {
  if (path.empty() || path.front() == '/') std::abort();
  size_t from = 0;
  while (from <= path.size()) {
    size_t slash = path.find('/', from);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(from, slash - from);
    if (part.empty() || part == "." || part == ".." || part.size() > 255) std::abort();
    for (unsigned char c : part)
      if (c < 0x20 || c == 0x7F || c == '\\') std::abort();
    from = slash + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 13 || size > 4096) return 0;
  static lumicarve::TypeCatalogue catalogue = [] {
    lumicarve::TypeCatalogue c{};
    lumicarve::FillTypeCatalogue(c);
    return c;
  }();
  lumicarve::FoundFile file{};
  std::memcpy(&file.date, data, 8);
  uint32_t sequence;
  std::memcpy(&sequence, data + 8, 4);
  file.type = 1u << (data[12] % 30);
  const bool folders = data[12] & 0x80;
  const std::string nameTemplate(reinterpret_cast<const char*>(data + 13), size - 13);
  CheckBelowDestination(
      lumicarve::ExpandNameTemplate(nameTemplate.c_str(), file, sequence, catalogue, folders));
  return 0;
}
