#include "cli/file_saver.h"

#include <cstdio>
#include <cstring>

#include "shell/found_file_copy.h"
#include "shell/string_table.h"

namespace lumicarve::cli {

bool FileSaver::Save(const FoundFile& file) {
  const std::string path = folder_ + "/" + file.name;
  const CopyOutcome r = CopyFoundFile(fd_, file, path);
  switch (r.result) {
    case CopyResult::kDone:
      return true;
    case CopyResult::kExists:
      std::fprintf(stderr, "lumicarve-cli: %s exists; not overwritten\n", path.c_str());
      return false;
    case CopyResult::kReadError:
      std::fprintf(stderr, "lumicarve-cli: %s %s (%d)\n", LoadString(IDS_ERROR_READING), file.name, r.error);
      return false;
    case CopyResult::kWriteError:
    case CopyResult::kCancelled:
      std::fprintf(stderr, "lumicarve-cli: %s %s: %s\n", LoadString(IDS_ERROR_WRITING), path.c_str(),
                   std::strerror(r.error));
      fatal_ = true;
      return false;
  }
  return false;
}

}  // namespace lumicarve::cli
