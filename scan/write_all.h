// Writing a whole buffer to a file descriptor, for every file the program
// writes (preview temp files, temp copies, saved files).
#pragma once

#include <cstddef>

namespace lumicarve {

// Writes all `count` bytes, going on after partial writes and interrupted
// calls. False with errno set when a write fails; a write that makes no
// progress sets ENOSPC.
bool WriteAll(int fd, const void* bytes, size_t count);

}  // namespace lumicarve
