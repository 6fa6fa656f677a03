#include "recovery/recovery_worker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "devices/volumes.h"
#include "recovery/destination_check.h"
#include "recovery/name_template.h"

namespace lumicarve {
namespace {

constexpr int kMaxSuffix = 9999;

// "a/b/0001.JPG" with n = 2 gives "a/b/0001 (2).JPG".
std::string WithSuffix(const std::string& relative, int n) {
  if (n < 2) return relative;
  const size_t slash = relative.find_last_of('/');
  const size_t dot = relative.find_last_of('.');
  const size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? relative.size() : dot;
  return relative.substr(0, at) + " (" + std::to_string(n) + ")" + relative.substr(at);
}

}  // namespace

DestinationProblem CheckDestination(const std::string& dir, int deviceFd, Message* detail) {
  struct stat st {};
  if (dir.empty() || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return DestinationProblem::kInvalid;
  // access() also answers EROFS for a read-only mount, even for root.
  if (::access(dir.c_str(), W_OK | X_OK) != 0) return DestinationProblem::kInvalid;
  const DestinationDisk disk = CheckDestinationDisk(dir, deviceFd);
  if (detail) *detail = disk.detail;
  switch (disk.result) {
    case DiskCheck::kOnScannedDisk: return DestinationProblem::kSameDrive;
    case DiskCheck::kUnresolved: return DestinationProblem::kUnresolved;
    case DiskCheck::kElsewhere: break;
  }
  return DestinationProblem::kNone;
}

CopyOutcome SaveUnderFreeName(int deviceFd, const FoundFile& file, int rootFd,
                              const std::string& relative, std::string& written,
                              const std::function<void(uint64_t)>& progress, const std::atomic<bool>* cancel) {
  const size_t slash = relative.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : relative.substr(0, slash);
  const int dir = OpenFoldersBeneath(rootFd, folder);
  if (dir < 0) {
    const int error = errno;
    const bool unsafe = error == ELOOP || error == EINVAL;
    return {unsafe ? CopyResult::kUnsafePath : CopyResult::kWriteError, error};
  }
  const std::string name = relative.substr(slash == std::string::npos ? 0 : slash + 1);
  CopyOutcome r{CopyResult::kWriteError, EEXIST};
  for (int n = 1; n <= kMaxSuffix; ++n) {
    const std::string candidate = WithSuffix(name, n);
    // The copy itself refuses an existing name, so a file that appears
    // between the choice and the link moves on to the next suffix.
    r = CopyFoundFileAt(deviceFd, file, dir, candidate, progress, cancel);
    if (r.result == CopyResult::kExists) continue;
    if (r.result == CopyResult::kDone) written = folder.empty() ? candidate : folder + "/" + candidate;
    break;
  }
  ::close(dir);
  if (r.result == CopyResult::kExists) r = {CopyResult::kWriteError, EEXIST};
  return r;
}

void RecoveryWorker::Finish(RecoveryReport& report, int32_t state) {
  report.state = state;
  sink_.RecoveryNotify(report);
}

void RecoveryWorker::Run() {
  RecoveryReport report;
  report.destination = job_.destination;
  report.fileCount = static_cast<int32_t>(job_.files.size());
  if (job_.files.empty()) {
    report.error = RECOVERY_NOTHING_SELECTED;
    return Finish(report, RECOVERY_ERROR);
  }
  int64_t required = 0;
  for (const FoundFile& f : job_.files) required += static_cast<int64_t>(f.length);
  bytesRequired_.store(required);
  report.bytesRequired = required;
  if (!GetFreeSpace(job_.destination, nullptr, &report.bytesAvailable) || required > report.bytesAvailable) {
    report.error = RECOVERY_INSUFFICIENT_SPACE;
    return Finish(report, RECOVERY_ERROR);
  }
  // The destination may be a link the user chose: it is resolved here, once.
  const int root = ::open(job_.destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) {
    report.error = RECOVERY_WRITE_FAILED;
    report.systemError = errno;
    return Finish(report, RECOVERY_ERROR);
  }
  struct CloseRoot {
    int fd;
    ~CloseRoot() { ::close(fd); }
  } closeRoot{root};
  int64_t before = 0;
  for (size_t i = 0; i < job_.files.size(); ++i) {
    if (cancel_.load()) return Finish(report, RECOVERY_CANCELLED);
    const FoundFile& file = job_.files[i];
    const std::string relative = ExpandNameTemplate(job_.nameTemplate.c_str(), file, static_cast<uint32_t>(i + 1),
                                                    job_.catalogue, job_.createDataFolders);
    report.currentIndex = static_cast<int32_t>(i + 1);
    report.currentFileName = relative;
    Finish(report, RECOVERY_WRITING);
    std::string written;
    const CopyOutcome r = SaveUnderFreeName(
        job_.deviceFd, file, root, relative, written,
        [&](uint64_t n) {
          bytesWritten_.store(before + static_cast<int64_t>(n));
          sink_.BlockWritten(bytesWritten_.load());
        },
        &cancel_);
    if (r.result == CopyResult::kCancelled) return Finish(report, RECOVERY_CANCELLED);
    if (r.result == CopyResult::kUnsafePath) {
      if (report.filesSkipped++ == 0) {
        report.firstSkipped = relative;
        report.skippedError = r.error;
      }
      before += static_cast<int64_t>(file.length);  // the progress still counts it as done
      continue;
    }
    if (r.result != CopyResult::kDone) {
      report.error = r.result == CopyResult::kReadError ? RECOVERY_READ_FAILED : RECOVERY_WRITE_FAILED;
      report.systemError = r.error;
      return Finish(report, RECOVERY_ERROR);
    }
    before += static_cast<int64_t>(file.length);
    bytesWritten_.store(before);
    report.currentFileName = written;
    sink_.FileWritten(job_.destination + "/" + written);
  }
  // Each file was flushed before its rename; this flushes the new folders'
  // entries too, so "complete" means on the medium.
  ::syncfs(root);
  Finish(report, RECOVERY_COMPLETE);
}

}  // namespace lumicarve
