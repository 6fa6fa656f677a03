// --out: saves each found file into one folder under its own name.
#pragma once

#include <string>

#include "scan/file_types.h"

namespace lumicarve::cli {

class FileSaver {
 public:
  FileSaver(int deviceFd, std::string folder) : fd_(deviceFd), folder_(std::move(folder)) {}
  // Saves `file`; false (with a message on stderr) when it could not be saved.
  bool Save(const FoundFile& file);
  // True once the destination itself failed (full, read-only, gone): saving
  // more would fail too.
  bool fatal() const { return fatal_; }

 private:
  int fd_;
  std::string folder_;
  bool fatal_ = false;
};

}  // namespace lumicarve::cli
