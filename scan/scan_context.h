// One scan: what it reads (the job), whom it reports to (the observer), and
// the counters and cancel flag that other threads look at while it runs. The
// scan works on its own copy of the job: the device table and every setting
// of the front ends stay above the engine.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "scan/file_types.h"

namespace lumicarve {

struct ScanJob {
  int handle = -1;            // read-only descriptor of the scanned device
  uint64_t sectors = 0;       // 512-byte sectors the scan covers
  FileTypeMask types = kAllTypes;
  uint64_t minimumBytes = 0;  // shorter files are not listed
};

enum class ScanEnd { kCompleted, kCancelled, kDeviceLost };

struct ScanResult {
  ScanEnd end = ScanEnd::kCompleted;
  int lostError = 0;        // kDeviceLost: the errno of the failed read
  uint64_t lostSector = 0;  // kDeviceLost: the sector where reading stopped
};

// What the scan reports to. Every call is made on the scan thread; a receiver
// that hands the calls to another thread must not make the scan wait for it.
class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // The share of the device covered, in per-mille; at most every 0.3 s.
  virtual void OnProgress(int perMille) = 0;
  // A file whose end is known and which qualifies; in the order found.
  virtual void OnFileFound(std::unique_ptr<FoundFile> file) = 0;
  // The last call of a scan.
  virtual void OnFinished(const ScanResult& result) = 0;
};

// Written by the scan thread only; atomics so a reader on another thread
// never sees a torn value.
struct ScanCounters {
  std::atomic<int32_t> filesFound{0};
  std::atomic<int32_t> readErrors{0};
  std::atomic<int64_t> totalLength{0};
  std::atomic<int64_t> position{0};
};

struct ScanContext : ScanCounters {
  ScanContext(const ScanJob& scanJob, ScanObserver& scanObserver) : job(scanJob), observer(scanObserver) {
    FillTypeCatalogue(catalogue);
  }
  ScanContext(const ScanContext&) = delete;
  ScanContext& operator=(const ScanContext&) = delete;

  // Any thread, and a signal handler: the scan drops the file in progress
  // and finishes within one block.
  void Cancel() { cancel.store(true, std::memory_order_relaxed); }
  bool Cancelled() const { return cancel.load(std::memory_order_relaxed); }

  int ScannedHandle() const { return job.handle; }
  uint64_t ScannedSectors() const { return job.sectors; }

  const ScanJob job;
  ScanObserver& observer;
  std::atomic<bool> cancel{false};
  TypeCatalogue catalogue{};
};

static_assert(std::atomic<bool>::is_always_lock_free, "cancelled from a signal handler");

}  // namespace lumicarve
