// The recovery worker: copies the chosen found files from the scanned device
// into a destination folder under the naming template, one after the other,
// and reports each step to the recovery dialog (or the command line).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/file_types.h"
#include "recovery/found_file_copy.h"
#include "text/text_format.h"

namespace lumicarve {

enum RecoveryState : int32_t {
  RECOVERY_WRITING = 1,
  RECOVERY_CANCELLED = 2,
  RECOVERY_COMPLETE = 3,
  RECOVERY_ERROR = 4,
};

enum RecoveryError : int32_t {
  RECOVERY_NOTHING_SELECTED = 0,
  RECOVERY_INSUFFICIENT_SPACE = 1,
  RECOVERY_WRITE_FAILED = 2,
  RECOVERY_READ_FAILED = 3,
};

// What a notification carries: the state and the fields that state needs.
struct RecoveryReport {
  int32_t state = 0;
  int32_t error = 0;       // RecoveryError, in RECOVERY_ERROR
  int32_t systemError = 0; // errno of the failed read, create or write
  std::string currentFileName;  // relative to the destination, as written
  int32_t currentIndex = 0;     // 1-based
  int32_t fileCount = 0;
  std::string destination;
  int64_t bytesRequired = 0;
  int64_t bytesAvailable = 0;
  // Files refused because a link or a file stood where one of their folders
  // should be; the recovery went on without them.
  int32_t filesSkipped = 0;
  std::string firstSkipped;
  int32_t skippedError = 0;
};

// Receives the worker's reports. Each call is made on the worker's thread;
// a receiver on another thread queues a copy and returns, so the worker
// never waits for a window.
class RecoverySink {
 public:
  virtual ~RecoverySink() = default;
  virtual void RecoveryNotify(const RecoveryReport& report) = 0;
  // A file has been written completely under `path` (absolute).
  virtual void FileWritten(const std::string& path) { (void)path; }
  // After each block copied: the bytes written so far in this recovery.
  virtual void BlockWritten(int64_t bytesWritten) { (void)bytesWritten; }
};

struct RecoveryJob {
  int deviceFd = -1;
  std::vector<FoundFile> files;  // in scan order
  std::string destination;
  std::string nameTemplate = "%Y\\%M\\%D\\%4N";
  bool createDataFolders = true;
  TypeCatalogue catalogue{};
};

// Why a chosen destination cannot be used, checked before anything is
// written. kInvalid: not an existing folder the user may write into.
// kSameDrive: it lies on the scanned disk, or inside a mount of the scanned
// image. kUnresolved: which disks hold it could not be told. `detail`, when
// given, receives the device found or what could not be followed.
enum class DestinationProblem { kNone, kInvalid, kSameDrive, kUnresolved };
DestinationProblem CheckDestination(const std::string& dir, int deviceFd, Message* detail = nullptr);

// Copies one file to relative (a path with '/' from ExpandNameTemplate) below
// the open folder `rootFd`, making its folders without following links; when
// that name exists, to the first free " (2)", " (3)", ... before the
// extension. On success `written` is the relative name used.
CopyOutcome SaveUnderFreeName(int deviceFd, const FoundFile& file, int rootFd,
                              const std::string& relative, std::string& written,
                              const std::function<void(uint64_t)>& progress = {},
                              const std::atomic<bool>* cancel = nullptr);

class RecoveryWorker {
 public:
  RecoveryWorker(RecoveryJob job, RecoverySink& sink) : job_(std::move(job)), sink_(sink) {}

  // The whole recovery; call on the worker's thread. Ends with exactly one
  // notification of state 2, 3 or 4.
  void Run();
  // Stops the worker before its next block; the file being written is removed.
  void Cancel() { cancel_.store(true); }

  int64_t bytesWritten() const { return bytesWritten_.load(); }
  int64_t bytesRequired() const { return bytesRequired_.load(); }

 private:
  void Finish(RecoveryReport& report, int32_t state);

  RecoveryJob job_;
  RecoverySink& sink_;
  std::atomic<bool> cancel_{false};
  std::atomic<int64_t> bytesWritten_{0};
  std::atomic<int64_t> bytesRequired_{0};
};

}  // namespace lumicarve
