// The process's private temp directory.
#pragma once

#include <string>

namespace lumicarve {

// A directory made with mkdtemp (mode 0700) under $TMPDIR or /tmp on first
// use and removed with its content when the process exits. Empty when it
// cannot be made.
const std::string& PrivateTempDir();
// Removes the directory now (also done at exit). A later call of
// PrivateTempDir makes a new one.
void RemovePrivateTempDir();
// Removes the private temp directories this user's ended processes left
// behind (killed ones); a live process's directory is held by its lock.
// Returns how many were removed.
int RemoveStaleTempDirs();

}  // namespace lumicarve
