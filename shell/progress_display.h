// The texts of the progress display, computed from the scan counters. Plain
// data, so the window only copies them into its labels.
#pragma once

#include <cstdint>
#include <string>

namespace lumicarve {

struct ProgressTexts {
  std::string elapsed, remaining, position, errors, filesFound, totalLength, percentage;
};

struct ProgressCounters {
  int32_t filesFound = 0;
  int32_t readErrors = 0;
  int64_t totalLength = 0;      // bytes
  int64_t position = 0;         // sector just examined
  int64_t deviceSectors = 0;
  uint32_t elapsedSeconds = 0;  // since the scan started
};

class ProgressDisplay {
 public:
  // One progress notification: updates every text but the remaining time,
  // which changes only on every fourth tick. Returns the bar position, the
  // per-mille capped to 1000.
  int Tick(int64_t perMille, const ProgressCounters& c, char separator);
  // The counter texts (elapsed, position, errors, files found, total
  // length) from the scan's final counters: a scan shorter than one progress
  // interval still shows what it found. Percentage and remaining time stay.
  void ShowCounters(const ProgressCounters& c, char separator);
  // After any scan, cancelled or not.
  void Ended() { texts_.remaining = "0:00:00"; }
  // After a completed scan.
  void Complete() { texts_.percentage = "100 %"; }

  const ProgressTexts& Texts() const { return texts_; }
  int32_t TickCount() const { return tickCount_; }

 private:
  ProgressTexts texts_;
  // Never reset: the phase of the every-fourth-tick refresh carries over
  // from one scan to the next.
  int32_t tickCount_ = 0;
};

// Milliseconds of a monotonic clock, wrapping at 32 bits like a tick counter.
uint32_t TickCountMs();

}  // namespace lumicarve
