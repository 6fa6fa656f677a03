// The promises around the scanned disk and the user's files: the disk is only
// ever opened read-only and never changes, temp files are private and gone at
// exit (also after Ctrl-C), and a destination that fills up or is read-only
// ends the save with a message and no half-written file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "devices/device_list.h"
#include "e2e/e2e_support.h"
#include "results/temp_copy.h"
#include "results/temp_dir.h"
#include "scan/raw_preview.h"
#include "scan/test_device.h"

namespace lumicarve {
namespace {

namespace fs = std::filesystem;
using test::Entries;
using test::ExitStatus;
using test::ImageBuilder;
using test::ReadTestFile;
using test::ScratchDir;
using test::SpawnCli;

// The pictures and videos of a card, one after another.
std::vector<std::string> CardFiles() {
  return {"generated/image/plasma.png", "corpus/Canon.jpg", "corpus/CanonRaw.cr2",
          "generated/image/plasma.gif", "corpus/Nikon.nef", "generated/video/quicktime.mov",
          "generated/image/progressive.jpg", "generated/video/video.avi"};
}

std::vector<uint8_t> CardImage(const std::vector<std::string>& files) {
  ImageBuilder img;
  for (const std::string& f : files) {
    img.Place(ReadTestFile(f));
    img.Zeros(2);
  }
  img.Zeros(64);
  return img.bytes();
}

bool ReadOnlyDescriptor(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && (flags & O_ACCMODE) == O_RDONLY;
}

int RunCli(const std::vector<std::string>& args, const fs::path& tmpdir) {
  int status = 0;
  ::waitpid(SpawnCli(args, tmpdir), &status, 0);
  return ExitStatus(status);
}

// A tmpfs of `size` mounted on `dir`, unmounted when it goes.
struct TmpfsMount {
  fs::path dir;
  bool mounted = false;
  TmpfsMount(const fs::path& d, const std::string& options) : dir(d) {
    fs::create_directories(dir);
    mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~TmpfsMount() {
    if (mounted) ::umount2(dir.c_str(), MNT_DETACH);
  }
};

TEST(ReadOnlyPromise, everyDeviceTableEntryAndEveryImageIsOpenedReadOnly) {
  ScratchDir dir;
  const fs::path image = dir.path / "card.img";
  ASSERT_TRUE(test::WriteFile(image, CardImage(CardFiles())));
  // As root a loop device over the image puts a real disk into the table.
  std::string loop;
  if (::geteuid() == 0) loop = test::ShellLine("losetup -f --show " + image.string() + " 2>/dev/null");
  auto c = std::make_unique<DeviceTable>();
  BuildDeviceTable(*c);
  Message error;
  const int index = AddImageDevice(*c, image.string(), &error);
  ASSERT_GE(index, 0) << error.Text();
  int checked = 0;
  for (int i = 0; i < c->deviceCount; ++i) {
    if (c->devices[i].handle < 0) continue;
    EXPECT_TRUE(ReadOnlyDescriptor(c->devices[i].handle)) << c->devices[i].path;
    ++checked;
  }
  EXPECT_GE(checked, loop.empty() ? 1 : 2);
  for (int i = 0; i < c->deviceCount; ++i)
    if (c->devices[i].handle >= 0) ::close(c->devices[i].handle);
  if (!loop.empty()) test::Shell("losetup -d " + loop);
}

TEST(ReadOnlyPromise, scanPreviewsTempCopiesAndRecoveryLeaveTheImageUnchanged) {
  ScratchDir dir;
  const fs::path image = dir.path / "card.img", out = dir.path / "out";
  ASSERT_TRUE(test::WriteFile(image, CardImage(CardFiles())));
  fs::create_directories(out);
  const std::string before = test::ShellLine("sha256sum " + image.string());
  struct stat st0 {};
  ASSERT_EQ(::stat(image.c_str(), &st0), 0);
  // The file system's clock ticks coarsely: a write right after the stat
  // must still show.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));

  EXPECT_EQ(RunCli({"scan", image.string(), "--out", out.string()}, dir.path), 0);
  EXPECT_GE(Entries(out).size(), CardFiles().size());

  // The previews and thumbnails read the same way: copies of every file and
  // of each RAW file's embedded JPEG.
  test::ScanRun run(test::Slurp(image));
  run.Run();
  const int fd = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::vector<uint8_t> copy;
  for (const FoundFile& f : run.files()) {
    EXPECT_EQ(ReadCopy(fd, f, nullptr, copy), TempCopyResult::kCopied) << f.name;
    FoundFile record = f;
    PreviewInfo info{};
    if (IsRawType(f.type) && ReadRawPreview(fd, record, info)) {
      EXPECT_EQ(ReadCopy(fd, f, &info, copy), TempCopyResult::kCopied) << f.name;
    }
  }
  ::close(fd);

  struct stat st1 {};
  ASSERT_EQ(::stat(image.c_str(), &st1), 0);
  EXPECT_EQ(test::ShellLine("sha256sum " + image.string()), before);
  EXPECT_EQ(st1.st_mtim.tv_sec, st0.st_mtim.tv_sec);
  EXPECT_EQ(st1.st_mtim.tv_nsec, st0.st_mtim.tv_nsec);
  EXPECT_EQ(st1.st_size, st0.st_size);
}

TEST(PrivateTemp, theFolderIsOwnerOnlyAndItsNameIsRandom) {
  const std::string dir = PrivateTempDir();
  ASSERT_FALSE(dir.empty());
  struct stat st {};
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  // Its name is random: two processes never share it.
  EXPECT_EQ(fs::path(dir).filename().string().rfind("lumicarve-", 0), 0u);
  EXPECT_NE(fs::path(dir).filename().string(), "lumicarve-XXXXXX");
}

// Bytes the process `pid` has read so far, from /proc.
uint64_t BytesRead(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return 0;
}

TEST(PrivateTemp, nothingStaysInTheTempFolderAfterAFinishedOrAnInterruptedCommandLineScan) {
  ScratchDir dir;
  const fs::path tmp = dir.path / "tmp", image = dir.path / "card.img";
  fs::create_directories(tmp);
  ASSERT_TRUE(test::WriteFile(image, CardImage({"corpus/Canon.jpg", "corpus/Nikon.nef"})));
  // A missing destination is made, with its missing parents.
  EXPECT_EQ(RunCli({"scan", image.string(), "--out", (dir.path / "out1" / "new").string()}, tmp), 0);
  EXPECT_EQ(Entries(dir.path / "out1" / "new").size(), 2u);
  EXPECT_TRUE(Entries(tmp).empty());

  // 64 GB of unwritten, sparse card after the pictures: seconds of reading,
  // interrupted once the scan is under way.
  ASSERT_EQ(::truncate(image.c_str(), off_t{64} << 30), 0);
  fs::create_directories(dir.path / "out2");
  const pid_t pid = SpawnCli({"scan", image.string(), "--out", (dir.path / "out2").string()}, tmp);
  for (int i = 0; i < 500 && BytesRead(pid) < (uint64_t{64} << 20); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::kill(pid, SIGINT);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(ExitStatus(status), 1);  // cancelled, not killed
  EXPECT_TRUE(Entries(tmp).empty());
  // The files saved before the interrupt are complete; no partial file stays.
  for (const fs::path& p : Entries(dir.path / "out2")) EXPECT_NE(p.filename().string()[0], '.') << p;
  EXPECT_EQ(Entries(dir.path / "out2").size(), 2u);
}

// Files whose formats tell their exact end, so each saved file can be
// compared byte for byte with its original.
std::vector<std::string> ExactFiles() {
  return {"generated/image/plasma.png", "corpus/Canon.jpg", "generated/image/plasma.gif",
          "generated/image/progressive.jpg", "generated/image/portrait_3000x4000.jpg",
          "generated/image/make_in_model_canon.jpg"};
}

// Every file in `out` equals one of `originals` exactly, and none is hidden
// (a partial file left behind).
void ExpectOnlyCompleteExactFiles(const fs::path& out, const std::vector<std::string>& originals, size_t& count) {
  count = 0;
  for (const fs::path& p : Entries(out)) {
    if (fs::is_directory(p)) continue;
    EXPECT_NE(p.filename().string()[0], '.') << "partial file left: " << p;
    const auto bytes = test::Slurp(p);
    bool same = false;
    for (const std::string& o : originals) same |= bytes == ReadTestFile(o);
    EXPECT_TRUE(same) << p << " is not byte-exact";
    ++count;
  }
}

TEST(CliDestination, aFullDestinationStopsWithAMessageAndKeepsEveryCompletedFileExact) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a 1 MB tmpfs needs root";
  ScratchDir dir;
  const fs::path image = dir.path / "card.img";
  ASSERT_TRUE(test::WriteFile(image, CardImage(ExactFiles())));
  TmpfsMount out(dir.path / "out", "size=1m,mode=0755");
  if (!out.mounted) GTEST_SKIP() << "tmpfs cannot be mounted here: " << std::strerror(errno);
  const test::CliResult r = test::RunCliScan({image.string(), "--out", out.dir.string()});
  EXPECT_EQ(r.exitCode, 1);
  const bool spaceMessage = r.err.find("Insufficient") != std::string::npos ||
                            r.err.find("Error writing") != std::string::npos;
  EXPECT_TRUE(spaceMessage) << r.err;
  size_t saved = 0;
  ExpectOnlyCompleteExactFiles(out.dir, ExactFiles(), saved);
  EXPECT_GE(saved, 3u);                  // the small files before the big one
  EXPECT_LT(saved, ExactFiles().size());  // the 1.2 MB picture cannot fit
}

TEST(CliDestination, aReadOnlyDestinationEndsWithAMessageAndWritesNothing) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a read-only tmpfs needs root";
  ScratchDir dir;
  const fs::path image = dir.path / "card.img";
  ASSERT_TRUE(test::WriteFile(image, CardImage(ExactFiles())));
  TmpfsMount out(dir.path / "out", "size=4m");
  if (!out.mounted) GTEST_SKIP() << "tmpfs cannot be mounted here: " << std::strerror(errno);
  ASSERT_EQ(::mount("tmpfs", out.dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=4m"), 0) << std::strerror(errno);
  const test::CliResult r = test::RunCliScan({image.string(), "--out", out.dir.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Error writing"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Read-only file system"), std::string::npos) << r.err;
  EXPECT_TRUE(Entries(out.dir).empty());
}

TEST(CliDestination, aFileWithAnUnreadableSectorIsAReadErrorAndLeavesNoPartialFile) {
  ScratchDir dir;
  const fs::path image = dir.path / "card.img", out = dir.path / "out";
  fs::create_directories(out);
  ImageBuilder img;
  img.Place(ReadTestFile("generated/image/plasma.png"));
  img.Zeros(2);
  // The scan jumps over a video's content, so only the copy meets the bad sector.
  const uint64_t video = img.Place(ReadTestFile("generated/video/video.avi"));
  img.Zeros(2);
  img.Place(ReadTestFile("corpus/Canon.jpg"));
  img.Zeros(64);
  ASSERT_TRUE(test::WriteFile(image, img.bytes()));
  test::CliResult r;
  {
    test::FaultScope faults({{video + 200, video + 200, EIO}});
    r = test::RunCliScan({image.string(), "--out", out.string()});
  }
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("lumicarve-cli: Error reading 00000002.AVI (5)\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Error writing"), std::string::npos) << r.err;
  size_t saved = 0;
  ExpectOnlyCompleteExactFiles(out, {"generated/image/plasma.png", "corpus/Canon.jpg"}, saved);
  EXPECT_EQ(saved, 2u);  // the files after the failed one are still saved
}

TEST(CliDestination, aDestinationRemovedDuringTheScanEndsWithAMessageAndNoStrayFile) {
  ScratchDir dir;
  const fs::path image = dir.path / "card.img", out = dir.path / "out";
  fs::create_directories(out);
  // Two pictures, 2 GB of unwritten card, and one more picture behind it.
  ASSERT_TRUE(test::WriteFile(image, CardImage({"generated/image/plasma.png", "corpus/Canon.jpg"})));
  const auto late = ReadTestFile("generated/image/plasma.gif");
  {
    const int fd = ::open(image.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const off_t at = off_t{2} << 30;
    ASSERT_EQ(::pwrite(fd, late.data(), late.size(), at), static_cast<ssize_t>(late.size()));
    ASSERT_EQ(::ftruncate(fd, at + (off_t{64} << 10)), 0);
    ::close(fd);
  }
  ScratchDir logs;
  const fs::path errors = logs.path / "stderr";
  const pid_t pid = SpawnCli({"scan", image.string(), "--out", out.string()}, dir.path, errors);
  for (int i = 0; i < 1000 && BytesRead(pid) < (uint64_t{256} << 20); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const size_t savedBefore = Entries(out).size();
  fs::remove_all(out);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(ExitStatus(status), 1);
  EXPECT_EQ(savedBefore, 2u);
  const auto err = test::Slurp(errors);
  const std::string text(err.begin(), err.end());
  EXPECT_NE(text.find("Error writing " + (out / "00000003.GIF").string() + ": No such file or directory"),
            std::string::npos)
      << text;
  EXPECT_FALSE(fs::exists(out));  // nothing made it again, under any name
  for (const fs::path& p : Entries(dir.path))
    EXPECT_TRUE(p == image) << "stray file " << p;
}

TEST(CliReport, neverReplacesAFileOrTheSourceIsCheckedBeforeTheScanAndAppearsWhole) {
  ScratchDir dir;
  const fs::path image = dir.path / "card.img", report = dir.path / "report.csv";
  const std::vector<uint8_t> card = CardImage({"corpus/Canon.jpg"});
  ASSERT_TRUE(test::WriteFile(image, card));
  test::CliResult r = test::RunCliScan({image.string(), "--report", image.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("is the source being scanned; not replaced"), std::string::npos) << r.err;
  EXPECT_EQ(test::Slurp(image), card);
  ASSERT_TRUE(test::WriteFile(report, {'k', 'e', 'e', 'p'}));
  r = test::RunCliScan({image.string(), "--report", report.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out.empty()) << "scanned before refusing";
  EXPECT_EQ(test::Slurp(report), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  r = test::RunCliScan({image.string(), "--report", (dir.path / "missing" / "r.csv").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out.empty()) << "scanned before refusing";

  fs::remove(report);
  r = test::RunCliScan({image.string(), "--report", report.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::vector<uint8_t> csv = test::Slurp(report);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2);
  for (const fs::path& p : Entries(dir.path)) EXPECT_NE(p.filename().string()[0], '.') << p;
}

TEST(CliSignals, aSecondSigintEndsTheProgramAtOnceWhereTheFirstOnlyCancels) {
  ScratchDir dir;
  const fs::path image = dir.path / "card.img";
  // Thousands of small pictures: their lines fill a pipe nobody reads, so
  // the scan thread blocks writing and cannot see the first cancel.
  ImageBuilder img;
  const std::vector<uint8_t> png = ReadTestFile("corpus/PNG.png");
  for (int i = 0; i < 5000; ++i) img.Place(png);
  ASSERT_TRUE(test::WriteFile(image, img.bytes()));
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::execl(LUMICARVE_CLI_PATH, LUMICARVE_CLI_PATH, "scan", image.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  // The pipe is full once what it holds stops growing: until then the scan
  // thread may still be writing and would see the cancel.
  int queued = 0;
  int still = 0;
  for (int i = 0; i < 1000 && still < 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int before = queued;
    ::ioctl(out[0], FIONREAD, &queued);
    still = queued >= 60000 && queued == before ? still + 1 : 0;
  }
  ASSERT_EQ(still, 20) << "the pipe never filled";
  ::kill(pid, SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int status = 0;
  EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "ended on the first SIGINT while blocked";
  const auto sent = std::chrono::steady_clock::now();
  ::kill(pid, SIGINT);
  bool ended = false;
  while (!(ended = ::waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() - sent < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  ASSERT_TRUE(ended) << "the second SIGINT did not end it";
  EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(1));
  EXPECT_EQ(ExitStatus(status), 128 + SIGINT);
  ::close(out[0]);
}

}  // namespace
}  // namespace lumicarve
