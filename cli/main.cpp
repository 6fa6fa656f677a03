// lumicarve-cli: the scan engine without a window.
#include <cstdio>
#include <cstring>

#include "cli/cli_commands.h"

namespace {

void PrintUsage(FILE* out) {
  std::fputs(
      "usage: lumicarve-cli scan SOURCE [--out DIR] [--types LIST] [--min-size KB] [--report FILE]\n"
      "       lumicarve-cli devices\n"
      "       lumicarve-cli --help | --version\n"
      "Run 'lumicarve-cli scan --help' for the scan options.\n"
      "lumicarve-cli opens disks directly: run it with sudo to list or scan a physical disk.\n",
      out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const char* command = argv[1];
  if (!std::strcmp(command, "--help") || !std::strcmp(command, "-h") || !std::strcmp(command, "help")) {
    PrintUsage(stdout);
    return 0;
  }
  if (!std::strcmp(command, "--version")) {
    std::printf("lumicarve-cli %s\n", LUMICARVE_VERSION);
    return 0;
  }
  // Subcommands dispatch here; each gets its own name as argv[0].
  if (!std::strcmp(command, "scan")) return lumicarve::cli::RunScanCommand(argc - 1, argv + 1);
  if (!std::strcmp(command, "devices")) return lumicarve::cli::RunDevicesCommand(argc - 1, argv + 1);
  std::fprintf(stderr, "lumicarve-cli: unknown command '%s'\n", command);
  PrintUsage(stderr);
  return 2;
}
