// Test helper: makes this process's private temp folder with a picture copy
// in it, prints the folder, and waits to be killed.
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "results/temp_dir.h"

int main() {
  const std::string dir = lumicarve::PrivateTempDir();
  std::ofstream(dir + "/temp2.JPG") << "a recovered picture";
  std::printf("%s\n", dir.c_str());
  std::fflush(stdout);
  for (;;) ::pause();
}
