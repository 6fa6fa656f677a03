#include <cstdio>

#include "cli/cli_commands.h"

namespace lumicarve::cli {

int RunScanCommand(int, char**) {
  std::fputs("lumicarve-cli: scan is being built\n", stderr);
  return 1;
}

}  // namespace lumicarve::cli
