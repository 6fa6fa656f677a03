#include "recovery/destination_check.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace lumicarve {
namespace {

// The whole disk a block device number belongs to: a partition's sysfs
// directory lies inside its disk's and holds a "partition" file.
dev_t WholeDisk(dev_t dev, const std::string& sysRoot) {
  char link[64];
  std::snprintf(link, sizeof link, "sys/dev/block/%u:%u", major(dev), minor(dev));
  char resolved[PATH_MAX];
  if (!::realpath((sysRoot + "/" + link).c_str(), resolved)) return dev;
  std::string dir = resolved;
  if (::access((dir + "/partition").c_str(), F_OK) != 0) return dev;
  std::ifstream in(dir.substr(0, dir.find_last_of('/')) + "/dev");
  unsigned maj = 0, min = 0;
  char colon = 0;
  if (in >> maj >> colon >> min && colon == ':') return makedev(maj, min);
  return dev;
}

}  // namespace

bool DestinationOnScannedDisk(const std::string& dir, int deviceFd, const std::string& sysRoot) {
  struct stat device {}, destination {};
  if (::fstat(deviceFd, &device) != 0 || !S_ISBLK(device.st_mode)) return false;
  if (::stat(dir.c_str(), &destination) != 0) return false;
  if (destination.st_dev == device.st_rdev) return true;
  return WholeDisk(destination.st_dev, sysRoot) == WholeDisk(device.st_rdev, sysRoot);
}

}  // namespace lumicarve
