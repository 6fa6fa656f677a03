#include "devices/sysfs_text.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace lumicarve {

std::string UnderRoot(const std::string& root, const std::string& path) {
  std::string base = root;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + path;
}

std::string ReadSysfsText(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) line.pop_back();
  return line;
}

bool ReadSysfsNumber(const std::string& path, uint64_t& value) {
  const std::string text = ReadSysfsText(path);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0;
}

}  // namespace lumicarve
