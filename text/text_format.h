// Number and time texts of the progress display, the tree and the lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumicarve {

// 1234567 with ',' gives "1,234,567"; negative values get no separator, and
// neither does any value when the separator is '\0' (a locale without one).
std::string FormatWithSeparators(int64_t value, char separator);

// A size split for writing: `whole`, then `tenths` after the decimal point
// when it has one (-1 otherwise), then `unit` ("byte", "bytes", "KB", "MB",
// "GB", "TB", "PB" or "EB").
struct SizeParts {
  uint64_t whole = 0;
  int tenths = -1;
  const char* unit = "bytes";
};
SizeParts SplitSize(uint64_t bytes);

// A size in decimal units as the desktop writes it: "512 bytes", "1.5 KB",
// "640 KB", "2.2 MB", "314 MB", "31.9 GB" below ten of a unit with one
// decimal, at or above ten as a whole number. The decimal point is the
// current C locale's.
std::string FormatSize(uint64_t bytes);

// A text the engine tells the user: an English format whose %1, %2, ...
// stand for `args`, marked where it is written so the window can look it up
// in its translations and fill in the same arguments.
struct Message {
  const char* format = "";
  std::vector<std::string> args;
  // The English text: each %N replaced by its argument, in one pass (an
  // argument's own "%2" stays as it is).
  std::string Text() const;
  bool empty() const { return !format[0]; }
};

// Seconds as "%d:%02d:%02d", hours not wrapped (360000 gives "100:00:00").
std::string FormatDuration(int32_t seconds);

}  // namespace lumicarve
