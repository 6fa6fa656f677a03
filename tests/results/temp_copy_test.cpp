// Copies of found files read from a device into memory: the block
// arithmetic, byte-exact copies, embedded previews, and read failures; and
// the private temp folders of killed processes.
#include "results/temp_copy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include <cstdio>

#include "results/temp_dir.h"
#include "scan/test_device.h"

namespace lumicarve {
namespace {

using test::ImageBuilder;
using test::InstallDevice;
using test::ReadTestFile;

FoundFile File(uint64_t start, uint64_t length, const char* name = "00000001.JPG") {
  FoundFile f{};
  std::snprintf(f.name, sizeof f.name, "%s", name);
  f.type = static_cast<uint32_t>(FT_JPG);
  f.startSector = start;
  f.length = length;
  return f;
}

TEST(TempCopyPlan, aFileOfTwoFullBlocksIsReadAndWrittenInTwoWholeBlocks) {
  const TempCopyPlan plan = PlanTempCopy(File(10, 65536), nullptr);
  ASSERT_EQ(BlockCount(plan), 2u);
  for (uint64_t i = 0; i < 2; ++i) {
    EXPECT_EQ(BlockOf(plan, i).sectors, 64u);
    EXPECT_EQ(BlockOf(plan, i).writeBytes, 32768u);
  }
}

TEST(TempCopyPlan, aShortLastBlockReadsOnlyItsSectorsAndWritesOnlyTheFilesBytes) {
  const TempCopyPlan plan = PlanTempCopy(File(0, 40000), nullptr);
  ASSERT_EQ(BlockCount(plan), 2u);
  EXPECT_EQ(BlockOf(plan, 0).sectors, 64u);
  EXPECT_EQ(BlockOf(plan, 0).writeBytes, 32768u);
  EXPECT_EQ(BlockOf(plan, 1).sectors, 15u);
  EXPECT_EQ(BlockOf(plan, 1).writeBytes, 7232u);
}

TEST(TempCopyPlan, anEmbeddedPreviewReadsTheSectorsItSpansAndSkipsItsLeadingBytes) {
  PreviewInfo info{};
  info.offset = 20 * 512 + 500;
  info.length = 1124;
  const TempCopyPlan plan = PlanTempCopy(File(20, 100000), &info);
  EXPECT_EQ(plan.firstSector, 20u);
  EXPECT_EQ(plan.sectors, 4u);
  ASSERT_EQ(BlockCount(plan), 1u);
  EXPECT_EQ(BlockOf(plan, 0).writeOffset, 500u);
  EXPECT_EQ(BlockOf(plan, 0).writeBytes, 1124u);
}

class TempCopyTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ClearReadFaults();
    if (fd_ >= 0) ::close(fd_);
  }
  void Install(ImageBuilder& image) { fd_ = InstallDevice(context_, image.bytes()); }
  DeviceTable context_;
  int fd_ = -1;
};

TEST_F(TempCopyTest, aWholeFileCopyIsExactlyTheFileAcrossSeveralBlocks) {
  const std::vector<uint8_t> jpeg = ReadTestFile("generated/image/progressive.jpg");
  ASSERT_GT(jpeg.size(), 4u * 32768);
  ImageBuilder image;
  image.Random(7);
  const uint64_t start = image.Place(jpeg);
  image.Random(70, 9);
  Install(image);
  std::vector<uint8_t> copy;
  ASSERT_EQ(ReadCopy(fd_, File(start, jpeg.size()), nullptr, copy), TempCopyResult::kCopied);
  EXPECT_EQ(copy, jpeg);
}

TEST_F(TempCopyTest, anEmbeddedPreviewCopyStartsWithThePreviewsFirstByte) {
  ImageBuilder image;
  image.Random(30, 3);
  Install(image);
  PreviewInfo info{};
  info.offset = 5 * 512 + 500;
  info.length = 1124;
  std::vector<uint8_t> copy;
  ASSERT_EQ(ReadCopy(fd_, File(5, 20000, "00000002.CR2"), &info, copy), TempCopyResult::kCopied);
  const std::vector<uint8_t> expected(image.bytes().begin() + 5 * 512 + 500,
                                      image.bytes().begin() + 5 * 512 + 500 + 1124);
  EXPECT_EQ(copy, expected);
}

TEST_F(TempCopyTest, aClaimedLengthOutsideTheFileOrAboveTheCeilingReadsNothing) {
  ImageBuilder image;
  image.Random(8);
  Install(image);
  const FoundFile raw = File(1, 4096, "00000003.NEF");
  PreviewInfo info{};
  info.offset = 1 * 512 + 100;
  info.length = 67u << 20;  // a 4 KB record claiming a 67 MB preview
  std::vector<uint8_t> copy(1);
  EXPECT_EQ(ReadCopy(fd_, raw, &info, copy), TempCopyResult::kRefused);
  EXPECT_TRUE(copy.empty());
  info.offset = 0;  // before the file
  info.length = 100;
  EXPECT_EQ(ReadCopy(fd_, raw, &info, copy), TempCopyResult::kRefused);
  const FoundFile bmp = File(0, uint64_t{4} << 30, "00000004.BMP");  // a header claiming 4 GB
  EXPECT_EQ(ReadCopy(fd_, bmp, nullptr, copy), TempCopyResult::kRefused);
  EXPECT_TRUE(copy.empty());
  EXPECT_TRUE(PreviewCopyRange(File(0, kMaxPreviewCopyBytes), nullptr).has_value());
}

TEST_F(TempCopyTest, anUnreadableSectorFailsTheCopyAndLeavesNoFileToDecode) {
  const std::vector<uint8_t> jpeg = ReadTestFile("generated/image/progressive.jpg");
  ImageBuilder image;
  const uint64_t start = image.Place(jpeg);
  Install(image);
  SetReadFaults({{start + 100, start + 100, EIO}});
  std::vector<uint8_t> copy;
  EXPECT_EQ(ReadCopy(fd_, File(start, jpeg.size()), nullptr, copy), TempCopyResult::kReadFailed);
  EXPECT_TRUE(copy.empty());
}

TEST_F(TempCopyTest, aStopRequestEndsTheCopyBetweenBlocks) {
  ImageBuilder image;
  image.Random(300);
  Install(image);
  std::atomic<bool> stop{true};
  std::vector<uint8_t> copy;
  EXPECT_EQ(ReadCopy(fd_, File(0, 300 * 512), nullptr, copy, &stop), TempCopyResult::kStopped);
  EXPECT_TRUE(copy.empty());
}

// A process that made its private temp folder under `base` with a picture
// copy in it; it waits to be killed. Its folder once it is made.
std::string HolderWithTempDir(const std::string& base, pid_t& pid) {
  int out[2];
  if (::pipe(out) != 0) return {};
  pid = ::fork();
  if (pid == 0) {
    ::setenv("TMPDIR", base.c_str(), 1);
    ::dup2(out[1], 1);
    ::execl(LUMICARVE_TEMP_HOLDER_PATH, LUMICARVE_TEMP_HOLDER_PATH, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  char line[512] = {};
  const ssize_t n = ::read(out[0], line, sizeof line - 1);
  ::close(out[0]);
  return n > 1 ? std::string(line, static_cast<size_t>(n - 1)) : std::string();
}

TEST(StaleTempDirs, aKilledProcesssFolderGoesWhileALiveOnesAndAnUnlockedOneStay) {
  char base[] = "/tmp/lumicarve-stale-XXXXXX";
  ASSERT_NE(::mkdtemp(base), nullptr);
  const std::string unlocked = std::string(base) + "/lumicarve-abcdef";
  ::mkdir(unlocked.c_str(), 0700);
  pid_t live = -1, killed = -1;
  const std::string liveDir = HolderWithTempDir(base, live), killedDir = HolderWithTempDir(base, killed);
  ::kill(killed, SIGKILL);
  ::waitpid(killed, nullptr, 0);
  const char* saved = std::getenv("TMPDIR");
  const std::string restore = saved ? saved : "";
  ::setenv("TMPDIR", base, 1);
  const int first = RemoveStaleTempDirs();
  const bool liveKept = std::filesystem::exists(liveDir + "/temp2.JPG");
  ::kill(live, SIGKILL);
  ::waitpid(live, nullptr, 0);
  const int second = RemoveStaleTempDirs();
  if (saved) ::setenv("TMPDIR", restore.c_str(), 1);
  else ::unsetenv("TMPDIR");
  ASSERT_FALSE(liveDir.empty());
  ASSERT_FALSE(killedDir.empty());
  EXPECT_EQ(first, 1);
  EXPECT_TRUE(liveKept);
  EXPECT_FALSE(std::filesystem::exists(killedDir));
  EXPECT_EQ(second, 1);
  EXPECT_FALSE(std::filesystem::exists(liveDir));
  EXPECT_TRUE(std::filesystem::exists(unlocked));
  std::filesystem::remove_all(base);
}

}  // namespace
}  // namespace lumicarve
