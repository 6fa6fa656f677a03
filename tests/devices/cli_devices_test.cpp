// lumicarve-cli devices over the fake system root: what the user reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "devices_test_data.h"

namespace lumicarve {
namespace {

int RunCli(const std::string& arguments, std::string& output) {
  FILE* pipe = ::popen((std::string(LUMICARVE_CLI_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliDevices, printsEachDiskWithItsDescriptionAndVolumes) {
  std::string out;
  ASSERT_EQ(RunCli("devices --root '" + test::SysRoot() + "'", out), 0) << out;
  const std::string reader =
      "2  [/media/ann/CARD] Generic SD Reader [294 KB]\n"
      "    path: " + test::SysRoot() + "/dev/sdb\n"
      "    model: Generic SD Reader\n"
      "    revision: 1.00\n"
      "    serial: -\n"
      "    capacity: 294 KB (294400 bytes, 575 sectors)\n"
      "    removable: yes\n"
      "    transport: none\n"
      "    standard: -\n"
      "    transfer mode: highest -, selected -\n"
      "    features: not known\n"
      "    volume 1: /media/ann/CARD, FAT12, label CARD, serial 1234-ABCD, 0 MiB, ";
  EXPECT_NE(out.find(reader), std::string::npos) << out;
  EXPECT_NE(out.find("    volume 1: not mounted, FAT12, label EOS_DIGITAL, serial 0BAD-CAFE, 0 MiB, at byte 0\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("permission denied"), std::string::npos) << out;
}

TEST(CliDevices, saysSoWhenNoDiskCanBeScannedAndRejectsUnknownArguments) {
  std::string out;
  EXPECT_EQ(RunCli("devices --root /nonexistent-root", out), 0);
  EXPECT_EQ(out, "No disk can be scanned.\n");
  out.clear();
  EXPECT_EQ(RunCli("devices --bogus", out), 2);
  EXPECT_EQ(out.rfind("lumicarve-cli devices: unknown argument '--bogus'\n", 0), 0u) << out;
}

}  // namespace
}  // namespace lumicarve
