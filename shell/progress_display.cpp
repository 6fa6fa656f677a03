#include "shell/progress_display.h"

#include <chrono>
#include <cstdio>

#include "shell/window_strings.h"
#include "text/text_format.h"

namespace lumicarve {
namespace {

// The device list writes capacities the same way, so the end of a scan's
// position matches the size the user picked.
std::string Size(int64_t bytes) { return SizeText(bytes < 0 ? 0 : static_cast<uint64_t>(bytes)).toStdString(); }

}  // namespace

void ProgressDisplay::ShowCounters(const ProgressCounters& c, char separator) {
  char text[32];
  texts_.filesFound = FormatWithSeparators(c.filesFound, separator);
  texts_.totalLength = Size(c.totalLength);
  std::snprintf(text, sizeof text, "%d", c.readErrors);
  texts_.errors = text;
  texts_.position = Size(c.position * 512);
  texts_.elapsed = FormatDuration(static_cast<int32_t>(c.elapsedSeconds));
}

int ProgressDisplay::Tick(int64_t perMille, const ProgressCounters& c, char separator) {
  int p = perMille > 1000 ? 1000 : static_cast<int>(perMille < 0 ? 0 : perMille);
  texts_.percentage = PercentText(p * 0.1).toStdString();
  ShowCounters(c, separator);

  // The estimate scales the elapsed time by the share of the device done.
  // The product is taken in 128 bits, so a huge device cannot overflow it;
  // only its low 32 bits are shown, as the time text is 32-bit.
  int64_t estimate = -1;
  if (c.position > 0) {
    __int128 product = static_cast<__int128>(c.elapsedSeconds) * c.deviceSectors;
    estimate = static_cast<int64_t>(product / c.position);
  }
  if (estimate != -1 && tickCount_ % 4 == 0) {
    int32_t remaining = static_cast<int32_t>(static_cast<uint32_t>(estimate) - c.elapsedSeconds);
    texts_.remaining = FormatDuration(remaining);
  }
  tickCount_ += 1;
  return p;
}

uint32_t TickCountMs() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace lumicarve
