#include "devices/disk_enum.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "devices/sysfs_text.h"

namespace lumicarve {
namespace {

bool AllOf(const std::string& s, size_t from, int (*test)(int)) {
  if (from >= s.size()) return false;
  return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from), s.end(),
                     [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

bool IsScannableDiskName(const std::string& name) {
  for (const char* prefix : {"sd", "vd", "hd", "xvd"})
    if (StartsWith(name, prefix)) return AllOf(name, std::char_traits<char>::length(prefix), ::islower);
  if (StartsWith(name, "mmcblk")) return AllOf(name, 6, ::isdigit);
  if (StartsWith(name, "loop")) return AllOf(name, 4, ::isdigit);
  if (StartsWith(name, "nvme")) {
    const size_t n = name.find('n', 4);
    return n != std::string::npos && AllOf(name.substr(0, n), 4, ::isdigit) && AllOf(name, n + 1, ::isdigit);
  }
  return false;
}

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
      size_t ei = i, ej = j;
      while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
      const std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
      const std::string ta = na.substr(std::min(na.find_first_not_of('0'), na.size()));
      const std::string tb = nb.substr(std::min(nb.find_first_not_of('0'), nb.size()));
      if (ta.size() != tb.size()) return ta.size() < tb.size();
      if (ta != tb) return ta < tb;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

std::vector<BlockDisk> ListBlockDisks(const std::string& root) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(UnderRoot(root, "/sys/block"), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!IsScannableDiskName(name)) continue;
    const std::string dir = it->path().string();
    if (ReadSysfsText(dir + "/hidden") == "1") continue;
    if (StartsWith(name, "loop") && ReadSysfsText(dir + "/loop/backing_file").empty()) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  std::vector<BlockDisk> disks;
  for (const std::string& name : names) {
    std::string node = name;
    std::replace(node.begin(), node.end(), '!', '/');
    disks.push_back({name, UnderRoot(root, "/sys/block/" + name), UnderRoot(root, "/dev/" + node),
                     static_cast<int>(disks.size())});
  }
  return disks;
}

}  // namespace lumicarve
