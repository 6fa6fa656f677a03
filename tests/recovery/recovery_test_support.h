// What the recovery tests share: reading a written file back, and listing
// every file a run left below a folder.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lumicarve::test {

inline std::vector<uint8_t> ReadPath(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every regular file below `dir`, hidden ones included, relative and sorted.
inline std::vector<std::string> Listing(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    if (e.is_regular_file()) names.push_back(std::filesystem::relative(e.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace lumicarve::test
