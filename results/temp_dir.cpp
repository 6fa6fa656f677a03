// The process's private temp directory: made on first use with mode 0700,
// locked for the process's life, removed with its content at exit. It holds
// the copies of found files the file preview and the recovery read back.
#include "results/temp_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace lumicarve {
namespace {

std::mutex g_dirMutex;
std::string g_dir;
int g_lockFd = -1;
bool g_atexitRegistered = false;

constexpr char kDirPrefix[] = "lumicarve-";
constexpr char kLockName[] = ".lock";

std::string TempBase() {
  const char* base = std::getenv("TMPDIR");
  return base && *base ? base : "/tmp";
}

// A lock held for the process's life tells its folder apart from one whose
// process is gone. It is taken under another name and renamed, so no other
// process ever finds the lock file unlocked while this one lives.
int LockDir(const std::string& dir) {
  const std::string taking = dir + "/.lock-taking";
  const int fd = ::open(taking.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::rename(taking.c_str(), (dir + "/" + kLockName).c_str()) != 0) {
    ::close(fd);
    ::unlink(taking.c_str());
    return -1;
  }
  return fd;
}

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
    std::string pattern = TempBase() + "/" + kDirPrefix + "XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    // mkdtemp makes the directory with mode 0700: nobody else can look in.
    if (::mkdtemp(buf.data())) {
      g_dir = buf.data();
      g_lockFd = LockDir(g_dir);
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
  if (g_lockFd != -1) ::close(g_lockFd);
  g_lockFd = -1;
}

int RemoveStaleTempDirs() {
  const std::string base = TempBase();
  std::string own;
  {
    std::lock_guard<std::mutex> lock(g_dirMutex);
    own = g_dir;
  }
  int removed = 0;
  DIR* d = ::opendir(base.c_str());
  if (!d) return 0;
  while (dirent* entry = ::readdir(d)) {
    const std::string name = entry->d_name;
    if (name.rfind(kDirPrefix, 0) != 0 || name.size() != sizeof kDirPrefix - 1 + 6) continue;
    const std::string path = base + "/" + name;
    struct stat st {};
    if (path == own || ::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
    // A folder without a lock file is left alone: it may belong to a
    // process that has not taken its lock yet.
    const int fd = ::open((path + "/" + kLockName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      RemoveTree(path);
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(d);
  return removed;
}

}  // namespace lumicarve
