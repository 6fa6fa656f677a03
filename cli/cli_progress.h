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
  explicit ProgressLine(const ScanContext& context);
  // Called with each progress notification (per-mille).
  void Update(int64_t perMille);
  // A new phase of the scan begins (a ScanPhase).
  void Phase(int64_t phase) { phase_ = phase; }
  // Draws the final state and ends the line.
  void Finish();

  // The text for the current counters, without any line control.
  std::string Text(int64_t perMille) const;

 private:
  const ScanContext& c_;
  bool terminal_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastPlain_;
  int64_t last_ = 0;
  int64_t phase_ = kPhaseCarve;
  bool drawn_ = false;
};

}  // namespace lumicarve::cli
