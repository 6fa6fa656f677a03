// The recovery worker on real files: a disk image built from tests/data,
// real folders, and, as root, small tmpfs and loop-mounted ext4 destinations.
#include "recovery/recovery_worker.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "scan/filetime.h"
#include "scan/test_device.h"
#include "recovery/recovery_test_support.h"

namespace lumicarve {
namespace {

namespace fs = std::filesystem;
using test::ReadTestFile;

using test::Listing;
using test::ReadPath;

class RecordingRecoverySink : public RecoverySink {
 public:
  void RecoveryNotify(const RecoveryReport& report) override {
    reports.push_back(report);
    if (onReport) onReport(report);
  }
  void FileWritten(const std::string& path) override { written.push_back(path); }
  void BlockWritten(int64_t bytes) override {
    if (onBlock) onBlock(bytes);
  }
  std::function<void(int64_t)> onBlock;
  std::vector<RecoveryReport> reports;
  std::vector<std::string> written;
  std::function<void(const RecoveryReport&)> onReport;
};

// A private folder, removed with everything below it.
struct TempDir {
  TempDir() {
    char name[] = "/tmp/lumicarve-recovery-XXXXXX";
    path = ::mkdtemp(name);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string path;
};

// A file system of its own mounted on a fresh folder; root only.
struct Mount {
  explicit Mount(const std::string& type, const std::string& options) {
    if (::geteuid() != 0) {
      why = "needs root to mount a file system";
      return;
    }
    if (::mount("lumicarve-test", dir.path.c_str(), type.c_str(), 0, options.c_str()) != 0) {
      why = "mount " + type + " failed: " + std::strerror(errno);
      return;
    }
    mounted = true;
  }
  ~Mount() {
    if (mounted) ::umount2(dir.path.c_str(), MNT_DETACH);
  }
  bool remountReadOnly() {
    return ::mount(nullptr, dir.path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  TempDir dir;
  bool mounted = false;
  std::string why;
};

// Three real files on a device image; the first dated 2012-05-17.
class RecoveryWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    originals = {ReadTestFile("ui/make_in_model_canon.jpg"), ReadTestFile("ui/plasma.png"),
                 ReadTestFile("ui/plasma.gif")};
    const uint32_t types[] = {uint32_t{FT_JPG}, uint32_t{FT_PNG}, uint32_t{FT_GIF}};
    test::ImageBuilder img;
    img.Random(5);
    for (size_t i = 0; i < originals.size(); ++i) {
      FoundFile f{};
      std::snprintf(f.name, sizeof f.name, "%08zu.X", i);
      f.startSector = img.Place(originals[i]);
      f.length = originals[i].size();
      f.type = types[i];
      img.Random(3, static_cast<uint32_t>(i));
      files.push_back(f);
    }
    CalendarTime t;
    t.year = 2012, t.month = 5, t.day = 17;
    ASSERT_TRUE(CalendarToFiletime(t, files[0].date));
    fd = test::InstallDevice(context, img.bytes());
  }
  void TearDown() override {
    ClearReadFaults();
    ::close(fd);
  }
  RecoveryJob Job(const std::string& destination) {
    RecoveryJob job;
    job.deviceFd = fd;
    job.files = files;
    job.destination = destination;
    FillTypeCatalogue(job.catalogue);
    return job;
  }
  std::vector<int32_t> States() const {
    std::vector<int32_t> s;
    for (const RecoveryReport& r : sink.reports) s.push_back(r.state);
    return s;
  }

  DeviceTable context;
  int fd = -1;
  std::vector<std::vector<uint8_t>> originals;
  std::vector<FoundFile> files;
  RecordingRecoverySink sink;
  TempDir out;
};

TEST_F(RecoveryWorkerTest, writesEveryFileByteExactUnderTheTemplateAndReportsEachStep) {
  RecoveryWorker worker(Job(out.path), sink);
  worker.Run();
  EXPECT_EQ(States(), (std::vector<int32_t>{1, 1, 1, 3}));
  EXPECT_EQ(sink.reports[1].currentFileName, "unsorted/0002.PNG");
  EXPECT_EQ(sink.reports[1].currentIndex, 2);
  EXPECT_EQ(sink.reports[1].fileCount, 3);
  EXPECT_EQ(Listing(out.path),
            (std::vector<std::string>{"2012/05/17/0001.JPG", "unsorted/0002.PNG", "unsorted/0003.GIF"}));
  EXPECT_EQ(ReadPath(out.path + "/2012/05/17/0001.JPG"), originals[0]);
  EXPECT_EQ(ReadPath(out.path + "/unsorted/0002.PNG"), originals[1]);
  EXPECT_EQ(ReadPath(out.path + "/unsorted/0003.GIF"), originals[2]);
  const int64_t total = static_cast<int64_t>(originals[0].size() + originals[1].size() + originals[2].size());
  EXPECT_EQ(worker.bytesWritten(), total);
  EXPECT_EQ(worker.bytesRequired(), total);
  EXPECT_EQ(sink.written.size(), 3u);
}

TEST_F(RecoveryWorkerTest, anExistingFileIsNeverOverwrittenTheNewOneGetsTheNextFreeSuffix) {
  fs::create_directories(out.path + "/unsorted");
  std::ofstream(out.path + "/unsorted/0002.PNG") << "keep me";
  std::ofstream(out.path + "/unsorted/0002 (2).PNG") << "and me";
  RecoveryJob job = Job(out.path);
  job.createDataFolders = false;
  std::ofstream(out.path + "/0001.JPG") << "mine";
  RecoveryWorker(std::move(job), sink).Run();
  EXPECT_EQ(States().back(), RECOVERY_COMPLETE);
  EXPECT_EQ(Listing(out.path), (std::vector<std::string>{"0001 (2).JPG", "0001.JPG", "0002.PNG", "0003.GIF",
                                                         "unsorted/0002 (2).PNG", "unsorted/0002.PNG"}));
  EXPECT_EQ(ReadPath(out.path + "/0001.JPG"), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
  EXPECT_EQ(ReadPath(out.path + "/0001 (2).JPG"), originals[0]);

  // A second run into the same folders keeps both the first run's files.
  sink.reports.clear();
  RecoveryWorker(Job(out.path), sink).Run();
  EXPECT_EQ(ReadPath(out.path + "/unsorted/0002 (3).PNG"), originals[1]);
  EXPECT_EQ(ReadPath(out.path + "/2012/05/17/0001.JPG"), originals[0]);
  EXPECT_EQ(sink.reports[1].currentFileName, "unsorted/0002.PNG");
  EXPECT_EQ(sink.reports.back().currentFileName, "unsorted/0003.GIF");
}

TEST_F(RecoveryWorkerTest, noFilesReportsNothingSelectedAndWritesNothing) {
  RecoveryJob job = Job(out.path);
  job.files.clear();
  RecoveryWorker(std::move(job), sink).Run();
  ASSERT_EQ(sink.reports.size(), 1u);
  EXPECT_EQ(sink.reports[0].state, RECOVERY_ERROR);
  EXPECT_EQ(sink.reports[0].error, RECOVERY_NOTHING_SELECTED);
  EXPECT_TRUE(Listing(out.path).empty());
}

TEST_F(RecoveryWorkerTest, aFolderNameTakenByAFileIsAWriteErrorNamingTheFile) {
  std::ofstream(out.path + "/2012") << "not a folder";
  RecoveryWorker(Job(out.path), sink).Run();
  EXPECT_EQ(States(), (std::vector<int32_t>{1, 4}));
  EXPECT_EQ(sink.reports.back().error, RECOVERY_WRITE_FAILED);
  EXPECT_EQ(sink.reports.back().systemError, ENOTDIR);
  EXPECT_EQ(sink.reports.back().currentFileName, "2012/05/17/0001.JPG");
}

TEST_F(RecoveryWorkerTest, aLinkWhereAFolderShouldBeRefusesOnlyItsFilesAndNothingLandsOutsideTheDestination) {
  TempDir outside;
  // "unsorted" (two files go there) and "2012/05" point out of the destination.
  fs::create_symlink(outside.path, out.path + "/unsorted");
  fs::create_directories(out.path + "/2012");
  fs::create_symlink(outside.path, out.path + "/2012/05");
  RecoveryWorker(Job(out.path), sink).Run();
  EXPECT_EQ(States(), (std::vector<int32_t>{1, 1, 1, 3}));
  EXPECT_EQ(sink.reports.back().filesSkipped, 3);
  EXPECT_EQ(sink.reports.back().firstSkipped, "2012/05/17/0001.JPG");
  EXPECT_EQ(sink.reports.back().skippedError, ELOOP);
  EXPECT_TRUE(fs::is_empty(outside.path));

  // The destination itself may be a link the user chose.
  fs::remove(out.path + "/unsorted");
  fs::remove(out.path + "/2012/05");
  const std::string chosen = outside.path + "/chosen";
  fs::create_symlink(out.path, chosen);
  RecordingRecoverySink again;
  RecoveryWorker(Job(chosen), again).Run();
  EXPECT_EQ(again.reports.back().state, RECOVERY_COMPLETE);
  EXPECT_EQ(again.reports.back().filesSkipped, 0);
  EXPECT_EQ(ReadPath(out.path + "/unsorted/0002.PNG"), originals[1]);
}

TEST_F(RecoveryWorkerTest, leftoversOfAKilledRunNeverBlockASave) {
  fs::create_directories(out.path + "/2012/05/17");
  fs::create_directories(out.path + "/unsorted");
  std::ofstream(out.path + "/2012/05/17/.0001.JPG.partial") << "cut short";
  std::ofstream(out.path + "/unsorted/.0002.PNG.partial") << "cut short";
  RecoveryWorker(Job(out.path), sink).Run();
  EXPECT_EQ(States(), (std::vector<int32_t>{1, 1, 1, 3}));
  EXPECT_EQ(ReadPath(out.path + "/2012/05/17/0001.JPG"), originals[0]);
  EXPECT_EQ(ReadPath(out.path + "/unsorted/0003.GIF"), originals[2]);
}

TEST_F(RecoveryWorkerTest, anUnreadableSectorStopsWithItsErrorAndLeavesNoPartialFile) {
  SetReadFaults({{files[1].startSector + 1, files[1].startSector + 1, EIO}});
  RecoveryWorker(Job(out.path), sink).Run();
  EXPECT_EQ(States(), (std::vector<int32_t>{1, 1, 4}));
  EXPECT_EQ(sink.reports.back().error, RECOVERY_READ_FAILED);
  EXPECT_EQ(sink.reports.back().systemError, EIO);
  EXPECT_EQ(sink.reports.back().currentFileName, "unsorted/0002.PNG");
  // The first file stays; the second left nothing, hidden or not.
  EXPECT_EQ(Listing(out.path), (std::vector<std::string>{"2012/05/17/0001.JPG"}));
  EXPECT_EQ(ReadPath(out.path + "/2012/05/17/0001.JPG"), originals[0]);
}

TEST_F(RecoveryWorkerTest, cancelStopsBeforeTheNextFileAndKeepsTheFinishedOnes) {
  RecoveryWorker worker(Job(out.path), sink);
  sink.onReport = [&](const RecoveryReport& r) {
    if (r.state == RECOVERY_WRITING && r.currentIndex == 2) worker.Cancel();
  };
  worker.Run();
  EXPECT_EQ(States(), (std::vector<int32_t>{1, 1, 2}));
  EXPECT_EQ(Listing(out.path), (std::vector<std::string>{"2012/05/17/0001.JPG"}));
}

TEST_F(RecoveryWorkerTest, cancelInsideALargeFileRemovesItsPartialFile) {
  // A file of several copy blocks, cancelled after its first block.
  std::vector<uint8_t> big = ReadTestFile("generated/image/big_4000x3000_exif_thumb.jpg");
  ASSERT_GT(big.size(), 2u << 20);
  test::ImageBuilder img;
  FoundFile f{};
  f.startSector = img.Place(big);
  f.length = big.size();
  f.type = FT_JPG;
  const int bigFd = test::InstallDevice(context, img.bytes());
  RecoveryJob job = Job(out.path);
  job.deviceFd = bigFd;
  job.files = {f};
  RecoveryWorker worker(std::move(job), sink);
  sink.onBlock = [&](int64_t) { worker.Cancel(); };
  worker.Run();
  ::close(bigFd);
  EXPECT_EQ(States(), (std::vector<int32_t>{1, 2}));
  EXPECT_LT(worker.bytesWritten(), static_cast<int64_t>(big.size()));
  EXPECT_GT(worker.bytesWritten(), 0);
  EXPECT_TRUE(Listing(out.path).empty());
  for (const auto& e : fs::recursive_directory_iterator(out.path)) EXPECT_TRUE(e.is_directory()) << e.path();
}

TEST(RecoveryDestination, aMissingPathAFileOrAReadOnlyFolderIsInvalid) {
  TempDir dir;
  const int fd = ::open("/dev/null", O_RDONLY);
  EXPECT_EQ(CheckDestination(dir.path, fd), DestinationProblem::kNone);
  EXPECT_EQ(CheckDestination(dir.path + "/missing", fd), DestinationProblem::kInvalid);
  EXPECT_EQ(CheckDestination("", fd), DestinationProblem::kInvalid);
  std::ofstream(dir.path + "/file") << "x";
  EXPECT_EQ(CheckDestination(dir.path + "/file", fd), DestinationProblem::kInvalid);
  Mount ro("tmpfs", "size=1m");
  if (ro.mounted) {
    ASSERT_TRUE(ro.remountReadOnly());
    EXPECT_EQ(CheckDestination(ro.dir.path, fd), DestinationProblem::kInvalid);
  }
  ::close(fd);
  if (!ro.mounted) GTEST_SKIP() << "read-only case skipped: " << ro.why;
}

TEST(RecoveryDestination, aDiskImageSourceHasNoSameDriveRefusal) {
  TempDir dir;
  const std::string image = dir.path + "/card.img";
  std::ofstream(image) << std::string(4096, '\0');
  const int fd = ::open(image.c_str(), O_RDONLY);
  // The destination folder lies beside the image itself.
  EXPECT_EQ(CheckDestination(dir.path, fd), DestinationProblem::kNone);
  ::close(fd);
}

// A loop device with an ext4 file system on it, mounted; root only.
struct LoopExt4 {
  LoopExt4() {
    if (::geteuid() != 0) {
      why = "needs root for a loop device";
      return;
    }
    image = backing.path + "/disk.img";
    std::ofstream(image).close();
    fs::resize_file(image, 8 << 20);
    if (std::system(("mkfs.ext4 -q -F " + image + " >/dev/null 2>&1").c_str()) != 0) {
      why = "mkfs.ext4 failed";
      return;
    }
    FILE* p = ::popen(("losetup -f --show " + image + " 2>/dev/null").c_str(), "r");
    char line[64] = {};
    if (p && std::fgets(line, sizeof line, p)) device = std::string(line, strcspn(line, "\n"));
    if (p) ::pclose(p);
    if (device.empty()) {
      why = "losetup found no free loop device";
      return;
    }
    if (::mount(device.c_str(), dir.path.c_str(), "ext4", 0, nullptr) != 0) {
      why = std::string("mount ext4 failed: ") + std::strerror(errno);
      return;
    }
    mounted = true;
  }
  ~LoopExt4() {
    if (mounted) ::umount2(dir.path.c_str(), 0);
    if (!device.empty()) std::system(("losetup -d " + device).c_str());
  }
  TempDir backing, dir;
  std::string image, device, why;
  bool mounted = false;
};

TEST(RecoveryDestination, aFolderOnTheScannedLoopDiskIsRefusedAndAnotherDiskIsNot) {
  LoopExt4 loop;
  if (!loop.mounted) GTEST_SKIP() << loop.why;
  const int fd = ::open(loop.device.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  fs::create_directories(loop.dir.path + "/photos");
  EXPECT_EQ(CheckDestination(loop.dir.path, fd), DestinationProblem::kSameDrive);
  EXPECT_EQ(CheckDestination(loop.dir.path + "/photos", fd), DestinationProblem::kSameDrive);
  TempDir elsewhere;
  EXPECT_EQ(CheckDestination(elsewhere.path, fd), DestinationProblem::kNone);
  ::close(fd);
}

TEST_F(RecoveryWorkerTest, lessFreeSpaceThanTheFilesNeedWritesNothing) {
  Mount small("tmpfs", "size=64k");
  if (!small.mounted) GTEST_SKIP() << small.why;
  RecoveryWorker(Job(small.dir.path), sink).Run();
  ASSERT_EQ(sink.reports.size(), 1u);
  const RecoveryReport& r = sink.reports[0];
  EXPECT_EQ(r.state, RECOVERY_ERROR);
  EXPECT_EQ(r.error, RECOVERY_INSUFFICIENT_SPACE);
  EXPECT_EQ(r.destination, small.dir.path);
  EXPECT_EQ(r.bytesRequired, static_cast<int64_t>(originals[0].size() + originals[1].size() + originals[2].size()));
  EXPECT_EQ(r.bytesAvailable, 64 * 1024);
  EXPECT_TRUE(Listing(small.dir.path).empty());
}

TEST_F(RecoveryWorkerTest, aDestinationThatFillsUpMidwayKeepsTheFinishedFilesAndNoPartialOne) {
  Mount small("tmpfs", "size=1m");
  if (!small.mounted) GTEST_SKIP() << small.why;
  // Another program fills the disk while the second file is being written.
  sink.onReport = [&](const RecoveryReport& r) {
    if (r.state != RECOVERY_WRITING || r.currentIndex != 2) return;
    std::ofstream filler(small.dir.path + "/filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size())) {
    }
  };
  RecoveryWorker(Job(small.dir.path), sink).Run();
  EXPECT_EQ(States(), (std::vector<int32_t>{1, 1, 4}));
  EXPECT_EQ(sink.reports.back().error, RECOVERY_WRITE_FAILED);
  EXPECT_EQ(sink.reports.back().systemError, ENOSPC);
  EXPECT_EQ(sink.reports.back().currentFileName, "unsorted/0002.PNG");
  EXPECT_EQ(Listing(small.dir.path), (std::vector<std::string>{"2012/05/17/0001.JPG", "filler"}));
  EXPECT_EQ(ReadPath(small.dir.path + "/2012/05/17/0001.JPG"), originals[0]);
}

TEST_F(RecoveryWorkerTest, aReadOnlyDestinationIsAWriteErrorWithTheSystemCode) {
  Mount ro("tmpfs", "size=1m");
  if (!ro.mounted) GTEST_SKIP() << ro.why;
  ASSERT_TRUE(ro.remountReadOnly());
  RecoveryWorker(Job(ro.dir.path), sink).Run();
  EXPECT_EQ(States(), (std::vector<int32_t>{1, 4}));
  EXPECT_EQ(sink.reports.back().error, RECOVERY_WRITE_FAILED);
  EXPECT_EQ(sink.reports.back().systemError, EROFS);
}

}  // namespace
}  // namespace lumicarve
