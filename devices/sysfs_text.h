// Small readers for the one-value text files of sysfs and for paths below the
// system root (which tests point at a tree of their own).
#pragma once

#include <cstdint>
#include <string>

namespace lumicarve {

// `root` joined with the absolute `path`: "/" and "/sys/block" give
// "/sys/block", "/tmp/t" and "/sys/block" give "/tmp/t/sys/block".
std::string UnderRoot(const std::string& root, const std::string& path);

// The file's first line without trailing blanks and line ends; empty when the
// file cannot be read.
std::string ReadSysfsText(const std::string& path);

// A decimal number file ("1953525168"); false when missing or not a number.
bool ReadSysfsNumber(const std::string& path, uint64_t& value);

}  // namespace lumicarve
