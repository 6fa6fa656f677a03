#include "cli/file_saver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "devices/volumes.h"
#include "recovery/found_file_copy.h"
#include "recovery/name_template.h"
#include "recovery/recovery_worker.h"
#include "text/string_table.h"

namespace lumicarve::cli {

bool FileSaver::Save(const FoundFile& file) {
  if (cancel_ && cancel_->load()) return false;
  // A file that cannot fit is not started: nothing half-written, and the
  // files saved so far stay.
  int64_t available = 0;
  if (GetFreeSpace(folder_, nullptr, &available) && static_cast<uint64_t>(available) < file.length) {
    std::fprintf(stderr, "lumicarve-cli: %s %s\n%s: %" PRIu64 ", %s: %" PRId64 "\n", LoadString(IDS_INSUFFICIENT_SPACE),
                 folder_.c_str(), LoadString(IDS_REQUIRED), file.length, LoadString(IDS_AVAILABLE), available);
    fatal_ = true;
    return false;
  }
  std::string relative = file.name;
  CopyOutcome r;
  // The destination is resolved once; every folder below it is opened
  // without following links.
  if (rootFd_ < 0) rootFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd_ < 0) {
    r = {CopyResult::kWriteError, errno};
  } else if (useTemplate_) {
    const std::string expanded =
        ExpandNameTemplate(template_.c_str(), file, ++sequence_, catalogue_, createDataFolders_);
    r = SaveUnderFreeName(fd_, file, rootFd_, expanded, relative, {}, cancel_);
    if (r.result != CopyResult::kDone) relative = expanded;
  } else {
    r = CopyFoundFileAt(fd_, file, rootFd_, relative, {}, cancel_);
  }
  const std::string path = folder_ + "/" + relative;
  switch (r.result) {
    case CopyResult::kDone:
      std::printf("saved\t%s\n", path.c_str());
      std::fflush(stdout);
      return true;
    case CopyResult::kExists:
      std::fprintf(stderr, "lumicarve-cli: %s exists; not overwritten\n", path.c_str());
      return false;
    case CopyResult::kReadError:
      std::fprintf(stderr, "lumicarve-cli: %s %s (%d)\n", LoadString(IDS_ERROR_READING), file.name, r.error);
      return false;
    case CopyResult::kUnsafePath:
      // Only this file is refused; the others go on.
      std::fprintf(stderr, "lumicarve-cli: %s %s: %s\n", LoadString(IDS_ERROR_WRITING), path.c_str(),
                   std::strerror(r.error));
      return false;
    case CopyResult::kCancelled:
      std::fprintf(stderr, "lumicarve-cli: %s not saved: cancelled\n", path.c_str());
      return false;
    case CopyResult::kWriteError:
      std::fprintf(stderr, "lumicarve-cli: %s %s: %s\n", LoadString(IDS_ERROR_WRITING), path.c_str(),
                   std::strerror(r.error));
      fatal_ = true;
      return false;
  }
  return false;
}

}  // namespace lumicarve::cli
