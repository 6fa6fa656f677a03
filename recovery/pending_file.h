// A file written without a name and given its final name only when complete:
// an unnamed file (O_TMPFILE) where the file system allows it, else a hidden
// name unique to this process and moment, created exclusively. A crash leaves
// nothing (or one hidden file that no later run ever collides with), and the
// final name never replaces an existing file.
#pragma once

#include <string>

namespace lumicarve {

class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() { Discard(); }

  // Creates the file inside the open folder `dirFd`. 0 or the errno.
  int Create(int dirFd);
  int fd() const { return fd_; }
  // Flushes, closes and links the file under `name` in the folder. 0, EEXIST
  // when that name is taken (the file stays pending), or another errno.
  int Publish(const std::string& name);
  // Closes and removes the file (nothing when it was published).
  void Discard();

 private:
  int dirFd_ = -1;
  int fd_ = -1;
  std::string hidden_;  // empty for an unnamed file
};

}  // namespace lumicarve
