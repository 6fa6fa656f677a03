// Writes the exact bytes of a found file from the device to a new file. The
// bytes go to a hidden partial file first and reach the final name only when
// complete, so an interrupted or failed copy never leaves a truncated file
// under a real name, and an existing file is never overwritten.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "scan/file_types.h"

namespace lumicarve {

enum class CopyResult { kDone, kReadError, kWriteError, kExists, kCancelled };

struct CopyOutcome {
  CopyResult result = CopyResult::kDone;
  int error = 0;  // errno of the failed read, create or write
};

// Copies `file` (its length from its start sector) into `path`. `progress`,
// when given, is told the bytes written so far after each block; `cancel`,
// when given and set, stops the copy (nothing is left behind).
CopyOutcome CopyFoundFile(int deviceFd, const FoundFile& file, const std::string& path,
                          const std::function<void(uint64_t)>& progress = {},
                          const std::atomic<bool>* cancel = nullptr);

}  // namespace lumicarve
