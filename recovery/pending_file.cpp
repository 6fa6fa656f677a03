#include "recovery/pending_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

namespace lumicarve {
namespace {

std::string HiddenName() {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return ".lumicarve-" + std::to_string(::getpid()) + "-" + std::to_string(now) + "-" +
         std::to_string(counter.fetch_add(1)) + ".partial";
}

}  // namespace

int PendingFile::Create(int dirFd) {
  Discard();
  dirFd_ = dirFd;
  fd_ = ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  if (fd_ >= 0) return 0;
  // File systems without unnamed files (FAT, some network mounts) get a
  // hidden name; O_EXCL with O_NOFOLLOW never opens what was already there.
  for (int attempt = 0; attempt < 16; ++attempt) {
    hidden_ = HiddenName();
    fd_ = ::openat(dirFd, hidden_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd_ >= 0) return 0;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  hidden_.clear();
  return error;
}

int PendingFile::Publish(const std::string& name) {
  if (fd_ < 0) return EBADF;
  if (::fsync(fd_) != 0) return errno;
  if (hidden_.empty()) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), dirFd_, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      const int error = errno;
      if (error != ENOENT || ::linkat(fd_, "", dirFd_, name.c_str(), AT_EMPTY_PATH) != 0) return error;
    }
  } else if (::syscall(SYS_renameat2, dirFd_, hidden_.c_str(), dirFd_, name.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // Without RENAME_NOREPLACE a hard link fails on an existing name too.
    if (::linkat(dirFd_, hidden_.c_str(), dirFd_, name.c_str(), 0) != 0) return errno;
    ::unlinkat(dirFd_, hidden_.c_str(), 0);
  }
  hidden_.clear();
  const int closed = ::close(fd_);
  fd_ = -1;
  // The data was flushed before the link; a failed close loses nothing.
  (void)closed;
  return 0;
}

void PendingFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  if (!hidden_.empty()) ::unlinkat(dirFd_, hidden_.c_str(), 0);
  fd_ = -1;
  hidden_.clear();
}

}  // namespace lumicarve
