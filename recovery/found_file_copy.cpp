#include "recovery/found_file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "recovery/pending_file.h"
#include "scan/sector_reader.h"
#include "scan/write_all.h"

namespace lumicarve {
namespace {

constexpr uint32_t kCopyBlockSectors = 2048;  // 1 MiB per read

}  // namespace

int OpenFoldersBeneath(int rootFd, const std::string& relativeDir) {
  int dir = ::fcntl(rootFd, F_DUPFD_CLOEXEC, 0);
  size_t from = 0;
  while (dir >= 0 && from < relativeDir.size()) {
    size_t slash = relativeDir.find('/', from);
    if (slash == std::string::npos) slash = relativeDir.size();
    const std::string name = relativeDir.substr(from, slash - from);
    from = slash + 1;
    if (name.empty()) continue;
    if (name == "." || name == "..") {
      ::close(dir);
      errno = EINVAL;
      return -1;
    }
    // mkdirat never follows a link of that name: it answers EEXIST, and the
    // open below refuses the link.
    if (::mkdirat(dir, name.c_str(), 0755) != 0 && errno != EEXIST) {
      const int error = errno;
      ::close(dir);
      errno = error;
      return -1;
    }
    const int next = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int error = errno;
    struct stat st {};
    // With O_DIRECTORY the kernel answers ENOTDIR for a link too; a link is told apart.
    if (next < 0 && error == ENOTDIR && ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(st.st_mode))
      error = ELOOP;
    ::close(dir);
    errno = error;
    dir = next;
  }
  return dir;
}

CopyOutcome CopyFoundFileAt(int deviceFd, const FoundFile& file, int dirFd, const std::string& name,
                            const std::function<void(uint64_t)>& progress, const std::atomic<bool>* cancel) {
  struct stat st {};
  if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return {CopyResult::kExists, EEXIST};
  PendingFile out;
  if (const int error = out.Create(dirFd)) return {CopyResult::kWriteError, error};
  std::vector<uint8_t> buf(size_t{kCopyBlockSectors} * kSectorSize);
  uint64_t sector = file.startSector;
  uint64_t left = file.length;
  uint64_t written = 0;
  while (left > 0) {
    if (cancel && cancel->load()) return {CopyResult::kCancelled, 0};
    const uint64_t sectorsLeft = (left + kSectorSize - 1) / kSectorSize;
    const uint32_t n = sectorsLeft < kCopyBlockSectors ? static_cast<uint32_t>(sectorsLeft) : kCopyBlockSectors;
    // An unreadable sector is reported, never written as zeros that look like data.
    if (!ReadSectors(deviceFd, sector, n, kSectorSize, buf.data())) return {CopyResult::kReadError, LastReadError()};
    const size_t bytes = left < uint64_t{n} * kSectorSize ? static_cast<size_t>(left) : size_t{n} * kSectorSize;
    if (!WriteAll(out.fd(), buf.data(), bytes)) return {CopyResult::kWriteError, errno};
    sector += n;
    left -= bytes;
    written += bytes;
    if (progress) progress(written);
  }
  if (const int error = out.Publish(name)) return {error == EEXIST ? CopyResult::kExists : CopyResult::kWriteError, error};
  return {};
}

}  // namespace lumicarve
