#include "scan/filetime.h"

namespace lumicarve {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerDay = kTicksPerSecond * 86400;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1601-01-01 to the first day of `year`.
int64_t DaysBeforeYear(int year) {
  int64_t y = year - 1601;
  return y * 365 + y / 4 - y / 100 + y / 400;
}

}  // namespace

bool CalendarToFiletime(const CalendarTime& t, uint64_t& out) {
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12) return false;
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return false;
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59 ||
      t.millisecond < 0 || t.millisecond > 999)
    return false;
  int64_t days = DaysBeforeYear(t.year);
  for (int m = 1; m < t.month; ++m) days += DaysInMonth(t.year, m);
  days += t.day - 1;
  int64_t seconds = int64_t{t.hour} * 3600 + t.minute * 60 + t.second;
  out = static_cast<uint64_t>(days * kTicksPerDay + seconds * kTicksPerSecond +
                              int64_t{t.millisecond} * 10000);
  return true;
}

bool FiletimeToCalendar(uint64_t filetime, CalendarTime& out) {
  if (filetime > static_cast<uint64_t>(INT64_MAX)) return false;
  int64_t ticks = static_cast<int64_t>(filetime);
  int64_t days = ticks / kTicksPerDay;
  int64_t rest = ticks % kTicksPerDay;
  CalendarTime t;
  // Estimate the year from the mean year length, then correct by at most one.
  t.year = 1601 + static_cast<int>(days * 400 / 146097);
  while (DaysBeforeYear(t.year) > days) --t.year;
  while (DaysBeforeYear(t.year + 1) <= days) ++t.year;
  if (t.year > 30827) return false;
  int64_t dayOfYear = days - DaysBeforeYear(t.year);
  t.month = 1;
  while (dayOfYear >= DaysInMonth(t.year, t.month)) dayOfYear -= DaysInMonth(t.year, t.month++);
  t.day = static_cast<int>(dayOfYear) + 1;
  int64_t seconds = rest / kTicksPerSecond;
  t.hour = static_cast<int>(seconds / 3600);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  t.millisecond = static_cast<int>(rest % kTicksPerSecond / 10000);
  out = t;
  return true;
}

}  // namespace lumicarve
