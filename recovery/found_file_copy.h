// Writes the exact bytes of a found file from the device to a new file. The
// bytes go to a pending (unnamed or hidden) file first and reach the final
// name only when complete, so an interrupted or failed copy never leaves a
// truncated file under a real name, and an existing file is never
// overwritten. Folders below the destination are opened without following
// links, so nothing is ever written outside it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "scan/file_types.h"

namespace lumicarve {

// kUnsafePath: a link or a file stands where a folder of the name should be;
// only this file is refused.
enum class CopyResult { kDone, kReadError, kWriteError, kExists, kCancelled, kUnsafePath };

struct CopyOutcome {
  CopyResult result = CopyResult::kDone;
  int error = 0;  // errno of the failed read, create or write
};

// Opens the folders of `relativeDir` ("a/b") below the open folder `rootFd`
// one by one, making the missing ones, never following a link. A new
// descriptor, or -1 with errno (ELOOP for a link, ENOTDIR for a file, where a
// folder should be; EINVAL for "." or "..").
int OpenFoldersBeneath(int rootFd, const std::string& relativeDir);

// Copies `file` (its length from its start sector) into `name` inside the
// open folder `dirFd`. `progress`, when given, is told the bytes written so
// far after each block; `cancel`, when given and set, stops the copy
// (nothing is left behind).
CopyOutcome CopyFoundFileAt(int deviceFd, const FoundFile& file, int dirFd, const std::string& name,
                            const std::function<void(uint64_t)>& progress = {},
                            const std::atomic<bool>* cancel = nullptr);

}  // namespace lumicarve
