#include "scan/write_all.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace lumicarve {

bool WriteAll(int fd, const void* bytes, size_t count) {
  const auto* at = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    const ssize_t n = ::write(fd, at, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    at += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace lumicarve
