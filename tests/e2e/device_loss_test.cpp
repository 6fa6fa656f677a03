// A device that goes away mid-scan (reads fail with ENODEV, ENXIO or
// ENOMEDIUM): the scan stops there instead of running on to report success,
// keeps what it found, and the command line says where it stopped.
#include <gtest/gtest.h>

#include <cerrno>

#include "e2e/e2e_support.h"
#include "scan/test_device.h"

namespace lumicarve {
namespace {

using test::FaultScope;
using test::ImageBuilder;
using test::ReadTestFile;

// Two pictures in the first 10 MB, one after 12 MB, 13 MB in all.
std::vector<uint8_t> ThreePictureImage(uint64_t& lateStart) {
  ImageBuilder img;
  img.Place(ReadTestFile("generated/image/plasma.png"));
  img.Zeros(100);
  img.Place(ReadTestFile("corpus/Canon.jpg"));
  img.Zeros(24576 - img.bytes().size() / kSectorSize);
  lateStart = img.Place(ReadTestFile("generated/image/plasma.gif"));
  img.Zeros(2048);
  return img.bytes();
}

TEST(DeviceLoss, everyLostDeviceErrorStopsTheScanAndKeepsTheFilesBeforeIt) {
  uint64_t late = 0;
  const auto bytes = ThreePictureImage(late);
  for (int error : {ENODEV, ENXIO, ENOMEDIUM}) {
    test::ScanRun run(bytes);
    FaultScope faults({{20580, ~uint64_t{0} - 1, error}});
    EXPECT_EQ(run.Run().result.end, ScanEnd::kDeviceLost) << error;
    EXPECT_EQ(run.result.lostError, error);
    // Reads go 4096 sectors at a time: the one that touches the loss fails.
    EXPECT_GT(static_cast<int64_t>(run.result.lostSector), 20580 - 4097);
    EXPECT_LE(static_cast<int64_t>(run.result.lostSector), 20580);
    EXPECT_EQ(run.files().size(), 2u);
    // The loss is not a string of read errors for every block left.
    EXPECT_LE(run.context->readErrors.load(), 1);
    // The end of the scan is reported once.
    EXPECT_EQ(run.sink->finished.size(), 1u);
  }
}

TEST(DeviceLoss, aPlainReadErrorIsNoLossAndTheScanRunsToTheEnd) {
  uint64_t late = 0;
  const auto bytes = ThreePictureImage(late);
  test::ScanRun run(bytes);
  FaultScope faults({{20580, 20580, EIO}});
  EXPECT_EQ(run.Run().result.end, ScanEnd::kCompleted);
  EXPECT_EQ(run.result.lostError, 0);
  EXPECT_EQ(run.context->readErrors.load(), 1);
  ASSERT_EQ(run.files().size(), 3u);
  EXPECT_EQ(run.files()[2].startSector, late);
}

TEST(DeviceLoss, theCommandLineExitsOneAndSaysWhereTheScanStopped) {
  uint64_t late = 0;
  test::ScratchDir dir;
  const auto image = dir.path / "card.img";
  ASSERT_TRUE(test::WriteFile(image, ThreePictureImage(late)));
  FaultScope faults({{20580, ~uint64_t{0} - 1, ENODEV}});
  // Where the engine stops on this image, in whole MB.
  test::ScanRun engine(test::Slurp(image));
  engine.Run();
  const int64_t mb = static_cast<int64_t>(engine.result.lostSector) / 2048;
  ASSERT_GT(mb, 0);
  const test::CliResult r = test::RunCliScan({image.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("lumicarve-cli: The device is no longer available. The scan was stopped at " +
                       std::to_string(mb) + " MB.\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("Scan completed."), std::string::npos) << r.err;
  // The two files before the loss are still listed.
  EXPECT_NE(r.out.find("00000001.PNG"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("00000002.JPG"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("00000003"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace lumicarve
