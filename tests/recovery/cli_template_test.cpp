// lumicarve-cli scan --out with --template and --flat: the same names and
// folders as the window's recovery, the no-overwrite suffixes, a full
// destination, and hostile templates kept inside the destination.
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "scan/test_device.h"
#include "recovery/recovery_test_support.h"

namespace lumicarve {
namespace {

namespace fs = std::filesystem;

using test::Listing;
using test::ReadPath;

// The command's exit code and its stdout.
struct CliRun {
  int exitCode = -1;
  std::string out;
};

CliRun Cli(const std::string& args) {
  CliRun r;
  FILE* p = ::popen((std::string(LUMICARVE_CLI_PATH) + " scan " + args + " 2>/dev/null").c_str(), "r");
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int status = ::pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class CliTemplate : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/lumicarve-cli-template-XXXXXX";
    dir_ = ::mkdtemp(name);
    out_ = dir_ / "out";
    fs::create_directory(out_);
    test::ImageBuilder img;
    for (const char* f : {"ui/make_in_model_canon.jpg", "ui/plasma.png", "ui/Kodak.jpg"}) {
      originals_.push_back(test::ReadTestFile(f));
      img.Place(originals_.back());
      img.Zeros(1);
    }
    image_ = (dir_ / "card.img").string();
    std::ofstream(image_, std::ios::binary)
        .write(reinterpret_cast<const char*>(img.bytes().data()), static_cast<std::streamsize>(img.bytes().size()));
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_, out_;
  std::string image_;
  std::vector<std::vector<uint8_t>> originals_;
};

TEST_F(CliTemplate, savesEveryFileByteExactUnderItsExifDateAndNeverOverwrites) {
  const std::string args = "'" + image_ + "' --out '" + out_.string() + "' --template '%Y\\%M\\%D\\%4N'";
  CliRun r = Cli(args + " --report '" + (dir_ / "r.csv").string() + "'");
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(Listing(out_),
            (std::vector<std::string>{"2002/05/01/0003.JPG", "2008/06/21/0001.JPG", "unsorted/0002.PNG"}));
  EXPECT_EQ(ReadPath(out_ / "2008/06/21/0001.JPG"), originals_[0]);
  EXPECT_EQ(ReadPath(out_ / "unsorted/0002.PNG"), originals_[1]);
  EXPECT_EQ(ReadPath(out_ / "2002/05/01/0003.JPG"), originals_[2]);
  EXPECT_NE(r.out.find("saved\t" + (out_ / "2008/06/21/0001.JPG").string() + "\n"), std::string::npos) << r.out;
  // The report shows the JPEG's capture date.
  const std::vector<uint8_t> csv = ReadPath(dir_ / "r.csv");
  EXPECT_NE(std::string(csv.begin(), csv.end()).find(",125248,2008-06-21T12:00:01\n"), std::string::npos);

  // A second run into the same folder keeps the first run's files.
  ASSERT_EQ(Cli(args).exitCode, 0);
  EXPECT_EQ(ReadPath(out_ / "2008/06/21/0001 (2).JPG"), originals_[0]);
  EXPECT_EQ(ReadPath(out_ / "2008/06/21/0001.JPG"), originals_[0]);
  EXPECT_EQ(Listing(out_).size(), 6u);
}

TEST_F(CliTemplate, flatAndHostileTemplatesKeepEveryFileInsideTheDestination) {
  ASSERT_EQ(Cli("'" + image_ + "' --out '" + out_.string() + "' --flat").exitCode, 0);
  EXPECT_EQ(Listing(out_), (std::vector<std::string>{"0001.JPG", "0002.PNG", "0003.JPG"}));
  fs::remove_all(out_);
  fs::create_directory(out_);
  ASSERT_EQ(Cli("'" + image_ + "' --out '" + out_.string() + "' --template '../..\\/etc/%Y/../%N'").exitCode, 0);
  EXPECT_EQ(Listing(out_), (std::vector<std::string>{"etc/2002/0003.JPG", "etc/2008/0001.JPG", "etc/unsorted/0002.PNG"}));
  EXPECT_FALSE(fs::exists(dir_ / "etc"));
  EXPECT_EQ(Cli("'" + image_ + "' --template x").exitCode, 2);
}

TEST_F(CliTemplate, aDestinationTooSmallForTheNextFileStopsBeforeWritingIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs";
  const fs::path small = dir_ / "small";
  fs::create_directory(small);
  if (::mount("lumicarve-test", small.c_str(), "tmpfs", 0, "size=160k") != 0) GTEST_SKIP() << "tmpfs mount failed";
  const CliRun r = Cli("'" + image_ + "' --out '" + small.string() + "' --template '%4N'");
  EXPECT_EQ(r.exitCode, 1);
  // The first file (122 KB) fits; the second (141 KB) does not and is not
  // begun; nothing half-written is left.
  EXPECT_EQ(Listing(small), std::vector<std::string>{"0001.JPG"});
  EXPECT_EQ(ReadPath(small / "0001.JPG"), originals_[0]);
  ::umount2(small.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace lumicarve
