// --out: saves each found file into the destination folder, either under its
// own name ("00000012.JPG") or, with a naming template, under the name and
// folders the template gives it, as the window's recovery does.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "scan/file_types.h"

namespace lumicarve::cli {

class FileSaver {
 public:
  FileSaver(int deviceFd, std::string folder) : fd_(deviceFd), folder_(std::move(folder)) {}
  // Template mode: each file's path comes from ExpandNameTemplate with a
  // sequence number counting the saved files; an existing name gets " (2)",
  // " (3)", ... instead of being refused.
  FileSaver(int deviceFd, std::string folder, std::string nameTemplate, bool createDataFolders,
            const TypeCatalogue& catalogue)
      : fd_(deviceFd), folder_(std::move(folder)), template_(std::move(nameTemplate)),
        useTemplate_(true), createDataFolders_(createDataFolders), catalogue_(catalogue) {}

  // Saves `file` and prints its path on stdout; false (with a message on
  // stderr) when it could not be saved.
  bool Save(const FoundFile& file);
  ~FileSaver() {
    if (rootFd_ >= 0) ::close(rootFd_);
  }
  FileSaver(const FileSaver&) = delete;
  FileSaver& operator=(const FileSaver&) = delete;
  // True once the destination itself failed (full, read-only, gone): saving
  // more would fail too.
  bool fatal() const { return fatal_; }
  // Once `cancel` is raised, a copy under way stops before its next block
  // and leaves nothing behind, and no further file is started.
  void setCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }

 private:
  int fd_;
  std::string folder_;
  std::string template_;
  bool useTemplate_ = false;
  bool createDataFolders_ = true;
  TypeCatalogue catalogue_{};
  uint32_t sequence_ = 0;
  bool fatal_ = false;
  const std::atomic<bool>* cancel_ = nullptr;
  int rootFd_ = -1;
};

}  // namespace lumicarve::cli
