#include "text/text_format.h"

#include <cinttypes>
#include <clocale>
#include <cstdio>
#include <iterator>

namespace lumicarve {

std::string FormatWithSeparators(int64_t value, char separator) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%" PRId64, value);
  std::string text(digits);
  if (value < 1000 || separator == '\0') return text;
  // Insert from the right while the part on the left is still 1000 or more.
  for (int64_t rest = value, pos = static_cast<int64_t>(text.size()) - 3; rest >= 1000;
       rest /= 1000, pos -= 3) {
    text.insert(static_cast<size_t>(pos), 1, separator);
  }
  return text;
}

SizeParts SplitSize(uint64_t bytes) {
  if (bytes < 1000) return {bytes, -1, bytes == 1 ? "byte" : "bytes"};
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  // Tenths of the unit, rounded half up; a value that rounds up to 1000 of
  // one unit is written in the next.
  uint64_t scale = 1000;
  size_t unit = 0;
  while (unit + 1 < std::size(kUnits) && bytes / scale >= 1000) {
    scale *= 1000;
    ++unit;
  }
  uint64_t tenths = bytes / (scale / 10) + (bytes % (scale / 10) >= scale / 20 ? 1 : 0);
  if (tenths >= 9995 && unit + 1 < std::size(kUnits)) {
    ++unit;
    tenths = (tenths + 500) / 1000;
  }
  if (tenths < 100) return {tenths / 10, static_cast<int>(tenths % 10), kUnits[unit]};
  return {(tenths + 5) / 10, -1, kUnits[unit]};
}

std::string FormatSize(uint64_t bytes) {
  const SizeParts size = SplitSize(bytes);
  char text[32];
  if (size.tenths < 0) {
    std::snprintf(text, sizeof text, "%" PRIu64 " %s", size.whole, size.unit);
  } else {
    const char* point = std::localeconv()->decimal_point;
    std::snprintf(text, sizeof text, "%" PRIu64 "%c%d %s", size.whole, point && point[0] ? point[0] : '.',
                  size.tenths, size.unit);
  }
  return text;
}

std::string Message::Text() const {
  std::string out;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '9' && static_cast<size_t>(p[1] - '1') < args.size()) {
      out += args[static_cast<size_t>(p[1] - '1')];
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string FormatDuration(int32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, (seconds / 60) % 60, seconds % 60);
  return text;
}

}  // namespace lumicarve
