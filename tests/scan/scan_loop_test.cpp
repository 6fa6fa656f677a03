#include "scan/scan_loop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "results/temp_dir.h"
#include "scan/sector_reader.h"
#include "test_device.h"

namespace lumicarve {
namespace {

using test::ImageBuilder;
using test::ReadTestFile;
using test::ScanRun;

// A TIFF-shaped file of `size` bytes whose only IFD puts a strip at its end.
std::vector<uint8_t> TiffOfSize(const char* magic, uint32_t size) {
  std::vector<uint8_t> b(size, 0);
  std::memcpy(b.data(), magic, 4);
  b[4] = 8;
  b[8] = 2;  // two entries: StripOffsets, StripByteCounts
  auto entry = [&](size_t at, uint16_t tag, uint32_t value) {
    b[at] = uint8_t(tag); b[at + 1] = uint8_t(tag >> 8);
    b[at + 2] = 4;  // LONG
    b[at + 4] = 1;
    std::memcpy(b.data() + at + 8, &value, 4);
  };
  entry(10, 273, 100);
  entry(22, 279, size - 100);
  return b;
}

TEST(ScanLoop, findsAFileInTheFirstSectorAndNamesRecordsDensely) {
  ImageBuilder img;
  const auto png = ReadTestFile("generated/image/plasma.png");
  const auto bmp = ReadTestFile("generated/image/plasma_bmp3_40byte_header.bmp");
  img.Place(png);
  img.Zeros(3);
  const uint64_t bmpAt = img.Place(bmp);
  img.Zeros(10);
  ScanRun run(img.bytes());
  EXPECT_EQ(run.Run().result.end, ScanEnd::kCompleted);
  ASSERT_EQ(run.files().size(), 2u);
  EXPECT_STREQ(run.files()[0].name, "00000001.PNG");
  EXPECT_EQ(run.files()[0].startSector, 0u);
  EXPECT_EQ(run.files()[0].length, png.size());
  EXPECT_STREQ(run.files()[1].name, "00000002.BMP");
  EXPECT_EQ(run.files()[1].startSector, bmpAt);
  EXPECT_EQ(run.context->filesFound.load(), 2);
  EXPECT_EQ(run.context->totalLength.load(), int64_t(png.size() + bmp.size()));
  ASSERT_EQ(run.sink->finished.size(), 1u);
  EXPECT_EQ(run.sink->finished[0].end, ScanEnd::kCompleted);
  for (const FoundFile& f : run.files()) {
    EXPECT_EQ(f.next, nullptr);
    EXPECT_EQ(f.reserved, 0u);
  }
}

TEST(ScanLoop, aFileBelowTheMinimumSizeUsesNoNumberAndTheScanGoesOn) {
  ImageBuilder img;
  img.Place(ReadTestFile("corpus/PNG.png"));  // 572 bytes
  img.Zeros(2);
  img.Place(ReadTestFile("generated/image/plasma.png"));
  img.Zeros(2);
  ScanRun run(img.bytes(), kAllTypes, 100);
  run.Run();
  ASSERT_EQ(run.files().size(), 1u);
  EXPECT_STREQ(run.files()[0].name, "00000001.PNG");
}

TEST(ScanLoop, aTypeNotSelectedIsMeasuredAndJumpedOverButNotListed) {
  // A plain TIFF with only NEF selected: the JPEG-looking bytes inside it are
  // never examined because its length is jumped over.
  auto tiff = TiffOfSize("II*\0", 20000);
  const auto jpeg = ReadTestFile("corpus/Canon.jpg");
  std::memcpy(tiff.data() + 4096, jpeg.data(), jpeg.size());
  ImageBuilder img;
  img.Place(tiff);
  img.Zeros(2);
  ScanRun only(img.bytes(), FT_NEF | FT_JPG);
  only.Run();
  EXPECT_TRUE(only.files().empty());
}

TEST(ScanLoop, aJpegIsClosedByTheNextSignatureWhenItsEndIsNotFound) {
  auto truncated = ReadTestFile("generated/image/truncated_no_eoi.jpg");
  ImageBuilder img;
  const uint64_t a = img.Place(truncated);
  img.Random(20);
  const uint64_t b = img.Place(ReadTestFile("generated/image/plasma.gif"));
  img.Zeros(4);
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_EQ(run.files().size(), 2u);
  EXPECT_EQ(run.files()[0].length, (b - a) * 512);
  EXPECT_EQ(run.files()[0].type, FT_JPG);
}

TEST(ScanLoop, signaturesInsideAnMpegStreamAreIgnoredUntilItEnds) {
  const auto mpg = ReadTestFile("generated/video/ps_mplex_endcode.mpg");
  auto withJpeg = mpg;
  // A JPEG's first bytes at a sector start inside a packet's payload.
  const auto jpeg = ReadTestFile("corpus/Sony.jpg");
  std::memcpy(withJpeg.data() + 512 * 101, jpeg.data(), 20);
  ImageBuilder img;
  img.Place(withJpeg);
  img.Zeros(4);
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_EQ(run.files().size(), 1u);
  EXPECT_EQ(run.files()[0].type, FT_MPG);
  EXPECT_EQ(run.files()[0].length, mpg.size());
}

TEST(ScanLoop, anMpegStreamWithoutEndCodeEndsWithItsLastPackBeforeTheNextFile) {
  const auto mpg = ReadTestFile("generated/video/ps_ffmpeg_no_endcode.mpg");
  const auto png = ReadTestFile("generated/image/plasma.png");
  ImageBuilder img;
  const uint64_t a = img.Place(mpg);
  img.Zeros(8);
  const uint64_t b = img.Place(png);
  img.Zeros(200);
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_EQ(run.files().size(), 2u);
  EXPECT_EQ(run.files()[0].type, FT_MPG);
  EXPECT_EQ(run.files()[0].startSector, a);
  EXPECT_EQ(run.files()[0].length, mpg.size());
  EXPECT_EQ(run.files()[1].type, FT_PNG);
  EXPECT_EQ(run.files()[1].startSector, b);
  EXPECT_EQ(run.files()[1].length, png.size());
}

// Headers whose claims run past the device end, or that say "to the end of
// the file": none of them hides the pictures behind it.
TEST(ScanLoop, aClaimPastTheDeviceEndIsCutThereAndTheFilesBehindItAreFound) {
  auto header = [](std::initializer_list<uint8_t> bytes) { return std::vector<uint8_t>(bytes); };
  const std::vector<std::vector<uint8_t>> hostile = {
      header({'B', 'M', 0, 0, 0, 0x10, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0}),              // 256 MiB bitmap
      header({'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'A', 'V', 'I', ' '}),               // 4 GiB AVI
      header({0, 0, 0, 1, 'm', 'd', 'a', 't', 0x3F, 0xFF, 0, 0, 0, 0, 0, 0}),               // 64-bit mdat
      header({0, 0, 0, 20, 'f', 't', 'y', 'p', 'q', 't', ' ', ' ', 0, 0, 0, 0, 'q', 't', ' ', ' ',
              0, 0, 0, 0, 'm', 'd', 'a', 't'}),                                               // mdat to the end
  };
  const auto jpeg = ReadTestFile("generated/image/make_in_model_canon.jpg");
  ImageBuilder img;
  std::vector<uint64_t> starts;
  for (const auto& h : hostile) {
    starts.push_back(img.Place(h));
    starts.push_back(img.Place(jpeg));
  }
  img.Zeros(4);
  const uint64_t total = img.bytes().size() / 512;
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_EQ(run.files().size(), starts.size());
  for (size_t i = 0; i < starts.size(); ++i) {
    const FoundFile& f = run.files()[i];
    EXPECT_EQ(f.startSector, starts[i]);
    if (i % 2) {
      EXPECT_EQ(f.length, jpeg.size());
    } else if (i < 6) {
      EXPECT_EQ(f.length, (total - f.startSector) * 512) << "cut at the device end";
    } else {
      EXPECT_EQ(f.length, (starts[i + 1] - f.startSector) * 512) << "closed by the next signature";
    }
  }
}

TEST(ScanLoop, aPanasonicRawIsHeldOpenForTenMillionBytesAndCutAtForty) {
  // TIFF structure of 5,000 bytes: shorter than any real RW2.
  const auto rw2 = TiffOfSize("IIU\0", 5000);
  const auto gif = ReadTestFile("corpus/GIF.gif");
  ImageBuilder img;
  img.Place(rw2);
  img.Zeros(100);
  img.Place(gif);  // inside the first 10,000,000 bytes: ignored
  img.Zeros(10000000 / 512 + 10 - img.bytes().size() / 512);
  const uint64_t closer = img.Place(gif);
  img.Zeros(4);
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_GE(run.files().size(), 1u);
  EXPECT_EQ(run.files()[0].type, FT_RW2);
  EXPECT_EQ(run.files()[0].length, closer * 512);

  ImageBuilder lone;
  lone.Place(rw2);
  lone.Zeros(40000000 / 512 + 100);
  ScanRun cut(lone.bytes(), FT_RW2);
  cut.Run();
  ASSERT_EQ(cut.files().size(), 1u);
  EXPECT_EQ(cut.files()[0].length, 40000000u);
}

TEST(ScanLoop, aFileStillInProgressAtTheDeviceEndIsNotListed) {
  ImageBuilder img;
  img.Place(ReadTestFile("generated/image/truncated_no_eoi.jpg"));
  ScanRun run(img.bytes());
  EXPECT_EQ(run.Run().result.end, ScanEnd::kCompleted);
  EXPECT_TRUE(run.files().empty());
  EXPECT_EQ(run.sink->finished.size(), 1u);
}

TEST(ScanLoop, theTailOfADeviceThatIsNotAWholeBlockIsScanned) {
  ImageBuilder img;
  img.Zeros(64 * 3 + 10);
  const uint64_t at = img.Place(ReadTestFile("corpus/BMP.bmp"));
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_EQ(run.files().size(), 1u);
  EXPECT_EQ(run.files()[0].startSector, at);
  EXPECT_EQ(run.context->readErrors.load(), 0);
}

TEST(ScanLoop, cancelInsideTheAsfWalkDropsTheCandidateAndEndsTheThread) {
  ImageBuilder img;
  img.Place(ReadTestFile("generated/video/video.wmv"));
  img.Zeros(4);
  ScanRun run(img.bytes());
  // The walk reports progress (0 per-mille here) when it moves to the next
  // header sector; the cancel is raised there.
  run.sink->onProgress = [&](int) { run.context->Cancel(); };
  EXPECT_EQ(run.Run().result.end, ScanEnd::kCancelled);
  EXPECT_TRUE(run.files().empty());
  ASSERT_FALSE(run.sink->progress.empty());
  EXPECT_EQ(run.sink->progress[0], 0);
  ASSERT_EQ(run.sink->finished.size(), 1u);
  EXPECT_EQ(run.sink->finished[0].end, ScanEnd::kCancelled);
}

// A failed block is read again sector by sector from both ends, so a bad
// sector costs only itself: files before and after it in the same 64-sector
// block are found whole. Each failed block read counts one error: the block
// at 64 fails, and so does the one read from 69 after the first file's end.
TEST(ScanLoop, aFailedBlockCountsOneErrorPerBlockAndLosesOnlyItsUnreadableSector) {
  ImageBuilder img;
  const auto gif = ReadTestFile("corpus/GIF.gif");  // 2,321 bytes: 5 sectors
  const auto png = ReadTestFile("generated/image/plasma.png");
  img.Zeros(64);
  const uint64_t before = img.Place(gif);  // sectors 64 to 68
  img.Zeros(4);                            // 69 to 72, the bad one among them
  const uint64_t after = img.Place(gif);   // 73 to 77, the same block
  img.Zeros(200);
  const uint64_t at = img.Place(png);
  img.Zeros(64);
  ScanRun run(img.bytes());
  SetReadFaults({{70, 70, EIO}});
  run.Run();
  ClearReadFaults();
  EXPECT_EQ(run.context->readErrors.load(), 2);
  ASSERT_EQ(run.files().size(), 3u);
  EXPECT_EQ(run.files()[0].startSector, before);
  EXPECT_EQ(run.files()[0].length, gif.size());
  EXPECT_EQ(run.files()[1].startSector, after);
  EXPECT_EQ(run.files()[1].length, gif.size());
  EXPECT_EQ(run.files()[2].startSector, at);
  EXPECT_EQ(run.files()[2].length, png.size());
}

TEST(ScanLoop, aDeviceThatGoesAwayStopsTheScanAndKeepsWhatWasFound) {
  ImageBuilder img;
  img.Place(ReadTestFile("generated/image/plasma.png"));
  img.Zeros(20000);
  img.Place(ReadTestFile("generated/image/plasma.gif"));
  img.Zeros(100);
  ScanRun run(img.bytes());
  SetReadFaults({{10000, ~uint64_t{0} - 1, ENODEV}});
  const ScanResult result = run.Run().result;
  ClearReadFaults();
  ASSERT_EQ(run.files().size(), 1u);
  EXPECT_EQ(result.end, ScanEnd::kDeviceLost);
  EXPECT_EQ(result.lostError, ENODEV);
  EXPECT_GE(result.lostSector, 4096u);
  EXPECT_LE(result.lostSector, 10000u);
  ASSERT_EQ(run.sink->finished.size(), 1u);
  EXPECT_EQ(run.sink->finished[0].end, ScanEnd::kDeviceLost);
}

TEST(ScanLoop, aRawFileIsDatedFromItsIfdsBeforeItIsReported) {
  ImageBuilder img;
  img.Place(ReadTestFile("corpus/Panasonic.rw2"));
  img.Zeros(40000000 / 512 + 100);
  ScanRun run(img.bytes(), FT_RW2);
  run.Run();
  ASSERT_EQ(run.files().size(), 1u);
  EXPECT_NE(run.files()[0].date, 0u);
}

TEST(PrivateTempDir, isPrivateAndRemovable) {
  const std::string dir = PrivateTempDir();
  ASSERT_FALSE(dir.empty());
  struct stat st {};
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  RemovePrivateTempDir();
  EXPECT_NE(::stat(dir.c_str(), &st), 0);
}

}  // namespace
}  // namespace lumicarve
