// The scan's progress line on stderr: redrawn in place on a terminal, a plain
// line every few seconds otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "scan/scan_context.h"

namespace lumicarve::cli {

class ProgressLine {
 public:
  ProgressLine(const ScanCounters& counters, uint64_t sectors, char separator);
  // Called with each progress notification (per-mille).
  void Update(int64_t perMille);
  // Draws the final state (100 % after a completed scan) and ends the line.
  void Finish(bool completed);

  // The text for the current counters, without any line control.
  std::string Text(int64_t perMille) const;

 private:
  const ScanCounters& c_;
  const uint64_t sectors_;
  const char separator_;
  bool terminal_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastPlain_;
  int64_t last_ = 0;
  bool drawn_ = false;
};

}  // namespace lumicarve::cli
