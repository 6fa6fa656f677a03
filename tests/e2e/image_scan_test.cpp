// Disk images made of the real test files at sector-aligned offsets, among
// zeros and among random bytes (also in the rest of each file's last sector):
// each file is found at its sector, with its type, its name and its exact
// length.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/sector_reader.h"
#include "scan/test_device.h"

namespace lumicarve {
namespace {

using test::ImageBuilder;
using test::ReadTestFile;
using test::ScanRun;

struct Placed {
  const char* file;
  FileTypeMask type;
};

const std::vector<Placed> kFiles = {
    {"generated/image/plasma.png", FT_PNG},
    {"generated/image/plasma_bmp3_40byte_header.bmp", FT_BMP},
    {"generated/image/tiff_big_endian_MM.tif", FT_TIF},
    {"generated/image/tiff_little_endian_II.tif", FT_TIF},
    {"generated/video/mp4_isom_moov_end.mp4", FT_MP4},
    {"generated/video/mp4_isom_moov_front.mp4", FT_MP4},
    {"generated/video/mobile.3gp", FT_3GP},
    {"generated/video/quicktime.mov", FT_MOV},
    {"generated/video/video.avi", FT_AVI},
    {"generated/video/video.wmv", FT_WMV},
    {"generated/video/ps_mplex_endcode.mpg", FT_MPG},
    {"corpus/M2TS.mts", FT_MTS},
    {"corpus/DNG.dng", FT_DNG},
    {"corpus/Nikon.nef", FT_NEF},
    {"generated/image/make_in_model_canon.jpg", FT_JPG},
    {"generated/image/progressive.jpg", FT_JPG},
    {"corpus/Canon.jpg", FT_JPG},
    {"generated/image/plasma.gif", FT_GIF},
};

void ScanAmong(bool random) {
  ImageBuilder img;
  std::vector<uint64_t> starts;
  uint32_t seed = 1;
  for (const Placed& p : kFiles) {
    if (random) img.Random(33, seed++);
    else img.Zeros(33);
    const auto bytes = ReadTestFile(p.file);
    starts.push_back(random ? img.PlaceWithRandomSlack(bytes, seed++) : img.Place(bytes));
  }
  if (random) img.Random(40, 99);
  else img.Zeros(40);
  // Files placed last need a signature or the device end after them; a final
  // small PNG closes the last JPEG in every layout.
  img.Place(ReadTestFile("corpus/PNG.png"));
  img.Zeros(8);

  ScanRun run(img.bytes());
  ASSERT_EQ(run.Run().result.end, ScanEnd::kCompleted);
  ASSERT_EQ(run.files().size(), kFiles.size() + 1);
  for (size_t i = 0; i < kFiles.size(); ++i) {
    const FoundFile& f = run.files()[i];
    const size_t size = ReadTestFile(kFiles[i].file).size();
    SCOPED_TRACE(kFiles[i].file);
    EXPECT_EQ(f.startSector, starts[i]);
    EXPECT_EQ(f.type, kFiles[i].type);
    char expected[24];
    char ext[kExtensionSize];
    std::snprintf(expected, sizeof expected, "%08d.%s", int(i + 1), ExtensionForType(run.context->catalogue, kFiles[i].type, ext));
    EXPECT_STREQ(f.name, expected);
    EXPECT_EQ(f.length, size);
  }
  EXPECT_EQ(run.context->readErrors.load(), 0);
}

TEST(ImageScan, findsEveryFileAmongZerosWithItsExactLength) { ScanAmong(false); }

TEST(ImageScan, findsEveryFileAmongRandomBytesAtItsSector) { ScanAmong(true); }

TEST(ImageScan, theFoundBytesAreTheOriginalFile) {
  ImageBuilder img;
  img.Random(100, 5);
  const auto mov = ReadTestFile("generated/video/quicktime.mov");
  const uint64_t at = img.Place(mov);
  img.Random(100, 6);
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_EQ(run.files().size(), 1u);
  const FoundFile& f = run.files()[0];
  std::vector<uint8_t> back((f.length + 511) / 512 * 512);
  ASSERT_TRUE(ReadSectors(run.fd, f.startSector, uint32_t(back.size() / 512), 512, back.data()));
  back.resize(f.length);
  EXPECT_EQ(f.startSector, at);
  EXPECT_EQ(back, mov);
}

}  // namespace
}  // namespace lumicarve
