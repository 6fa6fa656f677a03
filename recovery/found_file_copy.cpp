#include "recovery/found_file_copy.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

constexpr uint32_t kCopyBlockSectors = 2048;  // 1 MiB per read

bool WriteAll(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    ssize_t n = ::write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

// Gives the partial file its final name unless that name exists.
int PublishNoReplace(const std::string& from, const std::string& to) {
  if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

CopyOutcome CopyFoundFile(int deviceFd, const FoundFile& file, const std::string& path,
                          const std::function<void(uint64_t)>& progress, const std::atomic<bool>* cancel) {
  CopyOutcome outcome;
  if (::access(path.c_str(), F_OK) == 0) return {CopyResult::kExists, EEXIST};
  const size_t slash = path.find_last_of('/');
  const std::string partial = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." +
                              path.substr(slash + 1) + ".partial";
  const int out = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) return {CopyResult::kWriteError, errno};
  auto fail = [&](CopyResult r, int error) {
    ::close(out);
    ::unlink(partial.c_str());
    return CopyOutcome{r, error};
  };
  std::vector<uint8_t> buf(size_t{kCopyBlockSectors} * kSectorSize);
  uint64_t sector = file.startSector;
  uint64_t left = file.length;
  uint64_t written = 0;
  while (left > 0) {
    if (cancel && cancel->load()) return fail(CopyResult::kCancelled, 0);
    const uint64_t sectorsLeft = (left + kSectorSize - 1) / kSectorSize;
    const uint32_t n = sectorsLeft < kCopyBlockSectors ? static_cast<uint32_t>(sectorsLeft) : kCopyBlockSectors;
    // An unreadable sector is reported, never written as zeros that look like data.
    if (!ReadSectors(deviceFd, sector, n, kSectorSize, buf.data()))
      return fail(CopyResult::kReadError, LastReadError());
    const size_t bytes = left < uint64_t{n} * kSectorSize ? static_cast<size_t>(left) : size_t{n} * kSectorSize;
    if (!WriteAll(out, buf.data(), bytes)) return fail(CopyResult::kWriteError, errno);
    sector += n;
    left -= bytes;
    written += bytes;
    if (progress) progress(written);
  }
  if (::fsync(out) != 0) return fail(CopyResult::kWriteError, errno);
  if (::close(out) != 0) {
    const int error = errno;
    ::unlink(partial.c_str());
    return {CopyResult::kWriteError, error};
  }
  if (int error = PublishNoReplace(partial, path)) {
    ::unlink(partial.c_str());
    return {error == EEXIST ? CopyResult::kExists : CopyResult::kWriteError, error};
  }
  return outcome;
}

}  // namespace lumicarve
