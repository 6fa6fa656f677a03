#include "cli/cli_progress.h"

#include <unistd.h>

#include <cstdio>

#include "text/text_format.h"

namespace lumicarve::cli {

ProgressLine::ProgressLine(const ScanCounters& counters, uint64_t sectors, char separator)
    : c_(counters), sectors_(sectors), separator_(separator), terminal_(::isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()),
      lastPlain_(start_) {}

std::string ProgressLine::Text(int64_t perMille) const {
  const char sep = separator_;
  const int64_t p = perMille > 1000 ? 1000 : perMille;
  const auto elapsed = static_cast<int32_t>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_).count());
  const int64_t position = c_.position.load();
  std::string remaining = "-:--:--";
  if (position > 0) {
    const int64_t estimate = int64_t{elapsed} * static_cast<int64_t>(sectors_) / position;
    remaining = FormatDuration(static_cast<int32_t>(estimate - elapsed));
  }
  char text[256];
  std::snprintf(text, sizeof text, "%5.1f %%  %s MB  elapsed %s  remaining %s  files %s  total %s MB  errors %d",
                double(p) * 0.1, FormatWithSeparators(position / 2048, sep).c_str(),
                FormatDuration(elapsed).c_str(), remaining.c_str(),
                FormatWithSeparators(c_.filesFound.load(), sep).c_str(),
                FormatWithSeparators(c_.totalLength.load() / 1048576, sep).c_str(), c_.readErrors.load());
  return text;
}

void ProgressLine::Update(int64_t perMille) {
  last_ = perMille;
  if (terminal_) {
    std::fprintf(stderr, "\r%s\033[K", Text(perMille).c_str());
    drawn_ = true;
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPlain_ >= std::chrono::seconds(5)) {
    lastPlain_ = now;
    std::fprintf(stderr, "%s\n", Text(perMille).c_str());
  }
}

void ProgressLine::Finish(bool completed) {
  if (completed) last_ = 1000;
  if (terminal_) std::fprintf(stderr, "\r%s\033[K\n", Text(last_).c_str());
  else std::fprintf(stderr, "%s\n", Text(last_).c_str());
}

}  // namespace lumicarve::cli
