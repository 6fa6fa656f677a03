// The subcommands of lumicarve-cli. Each takes its arguments with its own name
// as argv[0] and returns the exit code: 0 done, 1 runtime error, 2 usage.
#pragma once

namespace lumicarve::cli {

int RunScanCommand(int argc, char** argv);
int RunDevicesCommand(int argc, char** argv);

}  // namespace lumicarve::cli
