// Number and time texts of the progress display, the tree and the lists.
#pragma once

#include <cstdint>
#include <string>

namespace lumicarve {

// 1234567 with ',' gives "1,234,567"; negative values get no separator, and
// neither does any value when the separator is '\0' (a locale without one).
std::string FormatWithSeparators(int64_t value, char separator);

// Seconds as "%d:%02d:%02d", hours not wrapped (360000 gives "100:00:00").
std::string FormatDuration(int32_t seconds);

}  // namespace lumicarve
