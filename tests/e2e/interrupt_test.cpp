// Interrupting the programs: Ctrl-C while lumicarve-cli saves a large file
// stops the copy at once and leaves nothing of it, and the window ends
// promptly on SIGTERM, SIGINT and SIGHUP with its private temp folder gone.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "e2e/e2e_support.h"
#include "scan/test_device.h"

namespace lumicarve {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::Entries;
using test::ExitStatus;
using test::ReadTestFile;
using test::ScratchDir;

// Waits up to `limit` for `pid` to end; kills it when it does not. Returns
// its wait status, -1 when it had to be killed.
int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
  const Clock::time_point end = Clock::now() + limit;
  int status = 0;
  while (Clock::now() < end) {
    if (::waitpid(pid, &status, WNOHANG) == pid) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -1;
}

// The file `pid` is writing in `out` (unnamed until complete), once it
// holds at least `bytes`; empty when none does within the time allowed.
fs::path GrowingPartial(pid_t pid, const fs::path& out, uintmax_t bytes) {
  const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
  for (int i = 0; i < 5000; ++i) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(fds, ec)) {
      const std::string target = fs::read_symlink(e.path(), ec).string();
      if (!ec && target.rfind(out.string() + "/", 0) == 0 && fs::file_size(e.path(), ec) >= bytes && !ec)
        return target;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return {};
}

TEST(CliInterrupt, ctrlCWhileALargeFileIsSavedStopsTheCopyLeavesNothingOfItAndKeepsTheSavedFiles) {
  ScratchDir dir;
  const fs::path tmp = dir.path / "tmp", out = dir.path / "out", image = dir.path / "card.img";
  const fs::path errors = dir.path / "errors";
  fs::create_directories(tmp);
  fs::create_directories(out);
  // A JPEG, then an AVI whose RIFF header claims 512 MiB: the rest of it is
  // sparse, unwritten card, quick to read but seconds to save.
  constexpr uint32_t kAviBytes = 512u << 20;
  const std::vector<uint8_t> jpeg = ReadTestFile("corpus/Canon.jpg");
  std::vector<uint8_t> avi = ReadTestFile("generated/video/video.avi");
  ASSERT_GT(avi.size(), 12u);
  for (int i = 0; i < 4; ++i) avi[4 + i] = static_cast<uint8_t>((kAviBytes - 8) >> (8 * i));
  test::ImageBuilder img;
  img.Place(jpeg);
  img.Zeros(2);
  const uint64_t aviStart = img.Place(avi);
  ASSERT_TRUE(test::WriteFile(image, img.bytes()));
  ASSERT_EQ(::truncate(image.c_str(), static_cast<off_t>(aviStart * kSectorSize + kAviBytes + (1 << 20))), 0);

  const pid_t pid = test::SpawnCli({"scan", image.string(), "--out", out.string()}, tmp, errors);
  const fs::path partial = GrowingPartial(pid, out, 4u << 20);
  ASSERT_FALSE(partial.empty()) << "the AVI's copy was never seen under way";
  const Clock::time_point sent = Clock::now();
  ::kill(pid, SIGINT);
  const int status = WaitFor(pid, std::chrono::seconds(20));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
  ASSERT_NE(status, -1) << "lumicarve-cli did not end after Ctrl-C";
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(ExitStatus(status), 1);
  EXPECT_LT(took.count(), 2000);

  // Only the JPEG saved before the interrupt stays, byte for byte.
  std::vector<fs::path> left = Entries(out);
  ASSERT_EQ(left.size(), 1u) << (left.size() > 1 ? left[1].string() : std::string());
  EXPECT_EQ(left[0].extension(), ".JPG");
  EXPECT_EQ(test::Slurp(left[0]), jpeg);
  const std::vector<uint8_t> said = test::Slurp(errors);
  const std::string text(said.begin(), said.end());
  EXPECT_NE(text.find(" not saved: cancelled\n"), std::string::npos) << text;
  EXPECT_NE(text.find("lumicarve-cli: scan cancelled\n"), std::string::npos) << text;
  EXPECT_TRUE(Entries(tmp).empty());
}

#ifdef LUMICARVE_WINDOW_PATH
// True once `pid` holds `path` open, waiting up to 20 s.
bool WaitUntilOpen(pid_t pid, const fs::path& path) {
  const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
  for (int i = 0; i < 2000; ++i) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(fds, ec))
      if (fs::read_symlink(e.path(), ec) == path) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// The window on a disk image, offscreen, with its temp, settings and runtime
// folders inside `dir`.
pid_t SpawnWindow(const fs::path& dir, const fs::path& image) {
  for (const char* sub : {"tmp", "config", "runtime"}) fs::create_directories(dir / sub);
  fs::permissions(dir / "runtime", fs::perms::owner_all);
  return test::Spawn(LUMICARVE_WINDOW_PATH, {image.string()},
                     {{"TMPDIR", (dir / "tmp").string()},
                      {"QT_QPA_PLATFORM", "offscreen"},
                      {"XDG_CONFIG_HOME", (dir / "config").string()},
                      {"XDG_RUNTIME_DIR", (dir / "runtime").string()}},
                     dir / "errors");
}

TEST(WindowSignals, sigtermSigintAndSighupEachEndTheWindowPromptlyWithItsStatusAndAnEmptyTempFolder) {
  ScratchDir dir;
  const fs::path image = dir.path / "card.img";
  test::ImageBuilder img;
  img.Place(ReadTestFile("corpus/Canon.jpg"));
  img.Zeros(64);
  ASSERT_TRUE(test::WriteFile(image, img.bytes()));
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    const fs::path run = dir.path / std::to_string(signal);
    const pid_t pid = SpawnWindow(run, image);
    // The image is opened after the handlers are in place.
    ASSERT_TRUE(WaitUntilOpen(pid, fs::canonical(image))) << "the window never opened the image";
    const Clock::time_point sent = Clock::now();
    ::kill(pid, signal);
    const int status = WaitFor(pid, std::chrono::seconds(20));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
    ASSERT_NE(status, -1) << "the window did not end on signal " << signal;
    EXPECT_TRUE(WIFEXITED(status)) << "killed by signal " << signal << " instead of ending";
    EXPECT_EQ(ExitStatus(status), 128 + signal);
    EXPECT_LT(took.count(), 5000);
    EXPECT_TRUE(Entries(run / "tmp").empty()) << Entries(run / "tmp").front();
  }
}
#endif

}  // namespace
}  // namespace lumicarve
