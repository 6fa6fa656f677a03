#include "text/text_format.h"

#include <cinttypes>
#include <cstdio>

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

std::string FormatDuration(int32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, (seconds / 60) % 60, seconds % 60);
  return text;
}

}  // namespace lumicarve
