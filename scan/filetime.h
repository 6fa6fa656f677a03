// FILETIME: a 64-bit count of 100 ns intervals since 1601-01-01, kept as the
// local time written in the file (no time-zone conversion anywhere).
#pragma once

#include <cstdint>

namespace lumicarve {

struct CalendarTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// False (and `out` untouched) for a month outside 1..12, a day the month does
// not have, hour > 23, minute or second > 59, millisecond > 999, or a year
// outside 1601..30827.
bool CalendarToFiletime(const CalendarTime& t, uint64_t& out);
bool FiletimeToCalendar(uint64_t filetime, CalendarTime& out);

}  // namespace lumicarve
