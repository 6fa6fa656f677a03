// Scans over unreadable sectors, injected under ReadSectors: the scan goes on,
// counts one error per 64-sector block it could not read, and finds every
// file that lies outside the damaged ranges with its exact length.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "scan/test_device.h"

namespace lumicarve {
namespace {

using test::FaultScope;
using test::ImageBuilder;
using test::ReadTestFile;
using test::ScanRun;
namespace fs = std::filesystem;

struct Placed {
  uint64_t start;
  uint64_t length;
};

Placed Put(ImageBuilder& img, const std::string& file) {
  const auto bytes = ReadTestFile(file);
  EXPECT_FALSE(bytes.empty()) << file;
  return {img.Place(bytes), bytes.size()};
}

void ExpectFound(const ScanRun& run, const Placed& p) {
  for (const FoundFile& f : run.files())
    if (f.startSector == p.start) {
      EXPECT_EQ(f.length, p.length) << "file at sector " << p.start;
      return;
    }
  ADD_FAILURE() << "no file found at sector " << p.start;
}

TEST(ReadFaults, anUnreadableSectorInsideAJpegCostsOneBlockAndSparesTheFilesAround) {
  ImageBuilder img;
  const Placed before = Put(img, "generated/image/plasma.png");
  img.Zeros(3);
  const Placed jpeg = Put(img, "generated/image/progressive.jpg");
  img.Zeros(3);
  const Placed after = Put(img, "generated/image/plasma.gif");
  img.Zeros(3);
  const Placed last = Put(img, "corpus/Kodak.jpg");
  img.Zeros(64);
  ScanRun run(img.bytes());
  FaultScope faults({{jpeg.start + 300, jpeg.start + 300, EIO}});
  EXPECT_EQ(run.Run().result.end, ScanEnd::kCompleted);
  EXPECT_EQ(run.context->readErrors.load(), 1);
  EXPECT_EQ(run.result.lostError, 0);
  ExpectFound(run, before);
  ExpectFound(run, after);
  ExpectFound(run, last);
}

TEST(ReadFaults, anUnreadableIfdEndsTheTiffChainAndTheScanGoesOn) {
  // A failed block is examined as zeros as a whole, so the layout keeps each
  // file out of the block of the bad sector: the CR2 starts near the end of
  // the first block, and its second IFD (in its sector 16) lies in the next.
  ImageBuilder img;
  const Placed before = Put(img, "corpus/PNG.png");
  img.Zeros(58);
  const Placed raw = Put(img, "corpus/CanonRaw.cr2");
  ASSERT_EQ(raw.start, 60u);
  img.Zeros(140);
  const Placed after = Put(img, "generated/image/plasma.png");
  img.Zeros(2);
  const Placed video = Put(img, "generated/video/video.avi");
  img.Zeros(64);
  ScanRun run(img.bytes());
  FaultScope faults({{raw.start + 16, raw.start + 16, EIO}});
  EXPECT_EQ(run.Run().result.end, ScanEnd::kCompleted);
  // The walk's failed read only ends the chain; the loop jumps over the file
  // and never reads that block itself, so no scan error is counted.
  EXPECT_EQ(run.context->readErrors.load(), 0);
  ExpectFound(run, before);
  ExpectFound(run, after);
  ExpectFound(run, video);
  // The RAW file is still listed, ended by what its first IFD tells.
  bool rawListed = false;
  for (const FoundFile& f : run.files()) rawListed |= f.startSector == raw.start;
  EXPECT_TRUE(rawListed);
}

TEST(ReadFaults, unreadableSectorsAcrossTheLastBlockEndTheScanNormally) {
  ImageBuilder img;
  const Placed first = Put(img, "generated/image/plasma.gif");
  img.Zeros(2);
  const Placed second = Put(img, "corpus/Canon.jpg");
  img.Zeros(200);
  const uint64_t total = img.bytes().size() / kSectorSize;
  // After a file's end the loop reads its blocks from the sector after it,
  // so the last block starts a whole number of blocks after the JPEG.
  const uint64_t afterJpeg = second.start + (second.length + kSectorSize - 1) / kSectorSize;
  const uint64_t lastBlock = afterJpeg + (total - 1 - afterJpeg) / 64 * 64;
  for (uint64_t from : {lastBlock, lastBlock - 5}) {
    ScanRun run(img.bytes());
    FaultScope faults({{from, total + 100, EIO}});
    EXPECT_EQ(run.Run().result.end, ScanEnd::kCompleted);
    EXPECT_EQ(run.context->readErrors.load(), from == lastBlock ? 1 : 2);
    ExpectFound(run, first);
    ExpectFound(run, second);
  }
}

TEST(ReadFaults, aDamagedRangeOfThreeBlocksCountsThreeErrors) {
  ImageBuilder img;
  // No file before the range: the blocks lie on the 64-sector grid from 0.
  img.Zeros(128);
  img.Random(192, 3);
  img.Zeros(64);
  const Placed a = Put(img, "generated/image/plasma.png");
  img.Zeros(2);
  const Placed b = Put(img, "generated/video/mp4_isom_moov_end.mp4");
  img.Zeros(64);
  ScanRun run(img.bytes());
  FaultScope faults({{128, 128 + 192 - 1, EIO}});
  EXPECT_EQ(run.Run().result.end, ScanEnd::kCompleted);
  EXPECT_EQ(run.context->readErrors.load(), 3);
  ExpectFound(run, a);
  ExpectFound(run, b);
}

TEST(ReadFaults, faultsAnywhereInAnImageOfEveryTypeNeverLoseAFileOutsideThem) {
  // Every file type of the corpus, each followed by a gap; one sector of each
  // second file is unreadable. The others must all be found exactly.
  const std::vector<std::string> files = {
      "generated/image/plasma.png",      "corpus/Canon.jpg",          "generated/image/plasma.gif",
      "corpus/BMP.bmp",                  "corpus/ExifTool.tif",       "corpus/CanonRaw.cr2",
      "corpus/Nikon.nef",                "corpus/DNG.dng",            "generated/video/quicktime.mov",
      "generated/video/video.avi",       "generated/video/video.wmv", "generated/video/mobile.3gp",
      "generated/video/ps_mplex_endcode.mpg", "corpus/Sony.jpg"};
  ImageBuilder img;
  std::vector<Placed> placed;
  for (const std::string& f : files) {
    placed.push_back(Put(img, f));
    img.Zeros(70);  // more than a block, so each fault's block holds one file
  }
  std::vector<ReadFault> faults;
  for (size_t i = 1; i < placed.size(); i += 2) faults.push_back({placed[i].start, placed[i].start, EIO});
  ScanRun run(img.bytes());
  FaultScope scope(faults);
  EXPECT_EQ(run.Run().result.end, ScanEnd::kCompleted);
  EXPECT_EQ(run.context->readErrors.load(), static_cast<int>(faults.size()));
  for (size_t i = 0; i < placed.size(); i += 2) ExpectFound(run, placed[i]);
}

// A real failing disk: device-mapper "error" targets over a loop device. The
// kernel fails whole 4 KiB pages, so the damaged ranges are page-aligned; the
// scan of the mapped device must count and find exactly what the same scan
// finds with those ranges injected under ReadSectors.
class FailingDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "device-mapper needs root";
    if (test::Shell("command -v dmsetup") != 0 || test::Shell("command -v losetup") != 0)
      GTEST_SKIP() << "dmsetup or losetup is not installed";
    const int control = ::open("/dev/mapper/control", O_RDWR | O_CLOEXEC);
    if (control < 0)
      GTEST_SKIP() << "device-mapper is unavailable here: /dev/mapper/control: " << std::strerror(errno);
    ::close(control);
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) test::Shell("dmsetup remove " + name_);
    if (!loop_.empty()) test::Shell("losetup -d " + loop_);
  }

  // Maps `bytes` with the sector ranges [first, last] unreadable; returns the
  // mapped device opened read-only, or -1.
  int MapWithErrors(const std::vector<uint8_t>& bytes, const std::vector<ReadFault>& bad) {
    image_ = dir_.path / "disk.img";
    if (!test::WriteFile(image_, bytes)) return -1;
    loop_ = test::ShellLine("losetup -f --show " + image_.string() + " 2>/dev/null");
    if (loop_.empty()) return -1;
    const uint64_t total = bytes.size() / kSectorSize;
    std::string table;
    uint64_t at = 0;
    for (const ReadFault& f : bad) {
      if (f.first > at) table += Line(at, f.first - at, "linear " + loop_ + " " + std::to_string(at));
      table += Line(f.first, f.last + 1 - f.first, "error");
      at = f.last + 1;
    }
    if (at < total) table += Line(at, total - at, "linear " + loop_ + " " + std::to_string(at));
    name_ = "lumicarve-fault-" + std::to_string(::getpid());
    const fs::path tablePath = dir_.path / "table";
    test::WriteFile(tablePath, std::vector<uint8_t>(table.begin(), table.end()));
    if (test::Shell("dmsetup create " + name_ + " " + tablePath.string()) != 0) {
      name_.clear();
      return -1;
    }
    test::Shell("udevadm settle");
    fd_ = ::open(("/dev/mapper/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
    return fd_;
  }

  static std::string Line(uint64_t start, uint64_t count, const std::string& target) {
    return std::to_string(start) + " " + std::to_string(count) + " " + target + "\n";
  }

  test::ScratchDir dir_;
  fs::path image_;
  std::string loop_, name_;
  int fd_ = -1;
};

TEST_F(FailingDevice, aScanOfARealFailingDiskCountsAndFindsWhatTheInjectedFaultsPredict) {
  ImageBuilder img;
  img.Zeros(256);
  const Placed jpeg = Put(img, "generated/image/progressive.jpg");
  img.Zeros(3);
  const Placed raw = Put(img, "corpus/CanonRaw.cr2");
  img.Zeros(140);
  const Placed png = Put(img, "generated/image/plasma.png");
  img.Zeros(3);
  const Placed gif = Put(img, "generated/image/plasma.gif");
  img.Zeros(300);
  const uint64_t total = img.bytes().size() / kSectorSize;
  auto page = [](uint64_t sector) { return ReadFault{sector / 8 * 8, sector / 8 * 8 + 7, EIO}; };
  const std::vector<ReadFault> bad = {page(128), page(jpeg.start + 300), page(raw.start + 16),
                                      {(total - 16) / 8 * 8, total - 1, EIO}};
  const int fd = MapWithErrors(img.bytes(), bad);
  if (fd < 0) GTEST_SKIP() << "the error mapping could not be made";

  ScanRun predicted(img.bytes());
  {
    FaultScope faults(bad);
    predicted.Run();
  }
  test::RecordingObserver sink;
  ScanJob job;
  job.handle = fd;
  job.sectors = total;
  ScanContext c(job, sink);
  SetReadLimit(total);
  EXPECT_EQ(RunScan(c).end, ScanEnd::kCompleted);
  EXPECT_GE(c.readErrors.load(), 3);
  EXPECT_EQ(c.readErrors.load(), predicted.context->readErrors.load());
  ASSERT_EQ(sink.files.size(), predicted.files().size());
  for (size_t i = 0; i < sink.files.size(); ++i) {
    EXPECT_EQ(sink.files[i].startSector, predicted.files()[i].startSector);
    EXPECT_EQ(sink.files[i].length, predicted.files()[i].length);
  }
  for (const Placed& p : {png, gif}) {
    bool found = false;
    for (const FoundFile& f : sink.files) found |= f.startSector == p.start && f.length == p.length;
    EXPECT_TRUE(found) << "file at sector " << p.start;
  }
}

}  // namespace
}  // namespace lumicarve
