// Where the device tests find their fake system root: a real tree of sysfs
// files, a mount table and disk images standing for /dev nodes.
#pragma once

#include <string>

namespace lumicarve::test {

inline std::string SysRoot() { return std::string(LUMICARVE_TEST_DATA) + "/devices/sysroot"; }

}  // namespace lumicarve::test
