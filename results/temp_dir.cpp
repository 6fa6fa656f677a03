// The process's private temp directory: made on first use with mode 0700,
// removed with its content at exit. It holds the copies of found files the
// file preview and the recovery read back.
#include "results/temp_dir.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace lumicarve {
namespace {

std::mutex g_dirMutex;
std::string g_dir;
bool g_atexitRegistered = false;

void RemoveTree(const std::string& dir) {
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* entry = ::readdir(d)) {
      if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, "..")) continue;
      const std::string path = dir + "/" + entry->d_name;
      if (entry->d_type == DT_DIR) RemoveTree(path);
      else ::unlink(path.c_str());
    }
    ::closedir(d);
  }
  ::rmdir(dir.c_str());
}

}  // namespace

const std::string& PrivateTempDir() {
  std::lock_guard<std::mutex> lock(g_dirMutex);
  if (g_dir.empty()) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/lumicarve-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    // mkdtemp makes the directory with mode 0700: nobody else can look in.
    if (::mkdtemp(buf.data())) {
      g_dir = buf.data();
      if (!g_atexitRegistered) {
        std::atexit(RemovePrivateTempDir);
        g_atexitRegistered = true;
      }
    }
  }
  return g_dir;
}

void RemovePrivateTempDir() {
  std::lock_guard<std::mutex> lock(g_dirMutex);
  if (g_dir.empty()) return;
  RemoveTree(g_dir);
  g_dir.clear();
}

}  // namespace lumicarve
