// Capture dates read by the engine from each file's own metadata on the
// device: video containers, HEIF, CR3, RAF and Matroska.
#include "scan/formats/video_date.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/filetime.h"
#include "scan/formats/capture_date.h"
#include "scan/formats/registry.h"
#include "test_device.h"

namespace lumicarve {
namespace {

using test::FiletimeAt;
using test::ImageBuilder;
using test::ReadTestFile;
using test::ScanRun;

struct Case {
  const char* file;
  FileTypeMask type;
  uint64_t date;  // 0: none
};

TEST(VideoDate, comesFromMvhdAsfFilePropertiesAndAviIditAndIsAbsentWhenUnset) {
  // The generated MP4 carries no creation time; one written into its movie
  // header (which stands after the media data) must be found.
  std::vector<uint8_t> mp4 = ReadTestFile("generated/video/mp4_isom_moov_end.mp4");
  const std::string bytes(mp4.begin(), mp4.end());
  const size_t mvhd = bytes.find("mvhd");
  ASSERT_NE(mvhd, std::string::npos);
  const uint32_t since1904 = 3420093600u;  // 2012-05-17 10:00:00
  for (int i = 0; i < 4; ++i) mp4[mvhd + 8 + i] = static_cast<uint8_t>(since1904 >> (24 - 8 * i));
  const Case cases[] = {
      {"corpus/QuickTime.mov", FT_MOV, FiletimeAt(2005, 8, 11, 14, 3, 54)},
      {"corpus/ASF.wmv", FT_WMV, FiletimeAt(2004, 10, 28, 17, 23, 34) + 1740000},
      {"corpus/RIFF.avi", FT_AVI, FiletimeAt(2003, 3, 10, 15, 4, 43)},
      {"corpus/Pentax.avi", FT_AVI, FiletimeAt(2009, 10, 27, 12, 14, 34)},
      {"generated/video/video.wmv", FT_WMV, 0},
      {"generated/video/mobile.3gp", FT_3GP, 0},
      {"generated/video/video.avi", FT_AVI, 0},
      {"corpus/QuickTime.mov", FT_JPG, 0},
  };
  ImageBuilder img;
  std::vector<FoundFile> records;
  for (const Case& c : cases) {
    const auto data = ReadTestFile(c.file);
    ASSERT_FALSE(data.empty()) << c.file;
    FoundFile f{};
    f.type = static_cast<uint32_t>(c.type);
    f.length = data.size();
    f.startSector = img.Place(data);
    records.push_back(f);
  }
  FoundFile patched{};
  patched.type = FT_MP4;
  patched.length = mp4.size();
  patched.startSector = img.Place(mp4);
  DeviceTable table;
  const int fd = test::InstallDevice(table, img.bytes());
  for (size_t i = 0; i < records.size(); ++i) {
    uint64_t date = 0;
    EXPECT_EQ(ReadVideoDate(fd, records[i], date), cases[i].date != 0) << cases[i].file;
    EXPECT_EQ(date, cases[i].date) << cases[i].file;
  }
  uint64_t date = 0;
  EXPECT_TRUE(ReadVideoDate(fd, patched, date));
  EXPECT_EQ(date, FiletimeAt(2012, 5, 17, 10, 0, 0));
  // A record longer than the device, or cut before its header, reads nothing.
  FoundFile cut = records[0];
  cut.length = 100;
  EXPECT_FALSE(ReadVideoDate(fd, cut, date));
  ::close(fd);
}

TEST(VideoDate, theScanFilesAVideoUnderItsContainerDate) {
  ImageBuilder img;
  img.Place(ReadTestFile("corpus/QuickTime.mov"));
  img.Zeros(4);
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_EQ(run.files().size(), 1u);
  EXPECT_EQ(run.files()[0].date, FiletimeAt(2005, 8, 11, 14, 3, 54));
}

// Pictures and videos of the newer types, dated from their own metadata.
const std::vector<Case>& Cases() {
  // The Matroska sample claims more than it holds, so it comes last.
  static const std::vector<Case> cases = {
      {"formats/complete.heic", FT_HEIC, FiletimeAt(2021, 7, 14, 9, 30, 5)},
      {"formats/complete.avif", FT_AVIF, FiletimeAt(2022, 11, 3, 18, 45, 59)},
      {"corpus/CanonRaw.cr3", FT_CR3, FiletimeAt(2018, 2, 21, 12, 8, 56)},
      {"corpus/FujiFilm.raf", FT_RAF, FiletimeAt(2007, 5, 22, 13, 58, 30)},
      {"formats/complete.mkv", FT_MKV, FiletimeAt(2023, 5, 6, 7, 8, 9)},
      {"corpus/QuickTime.heic", FT_HEIC, 0},
      {"formats/complete.webm", FT_WEBM, 0},
      {"corpus/Matroska.mkv", FT_MKV, FiletimeAt(2010, 2, 3, 21, 17, 48)},
  };
  return cases;
}

TEST(CaptureDate, theScanDatesEachNewTypeFromItsOwnMetadata) {
  ImageBuilder img;
  uint32_t seed = 11;
  for (const Case& c : Cases()) {
    img.Random(4, seed++);
    const std::vector<uint8_t> data = ReadTestFile(c.file);
    ASSERT_FALSE(data.empty()) << c.file;
    img.PlaceWithRandomSlack(data, seed++);
  }
  ScanRun run(img.bytes());
  run.Run();
  ASSERT_EQ(run.files().size(), Cases().size());
  for (size_t i = 0; i < Cases().size(); ++i) {
    EXPECT_EQ(run.files()[i].type, Cases()[i].type) << Cases()[i].file;
    EXPECT_EQ(run.files()[i].date, Cases()[i].date) << Cases()[i].file;
  }
}

// A file cut anywhere, its metadata with it, yields its own date or none,
// never another.
TEST(CaptureDate, aFileCutAnywhereGivesItsOwnDateOrNone) {
  ImageBuilder img;
  std::vector<FoundFile> records;
  for (const Case& c : Cases()) {
    if (!c.date) continue;
    const std::vector<uint8_t> data = ReadTestFile(c.file);
    FoundFile f{};
    f.type = static_cast<uint32_t>(c.type);
    f.length = data.size();
    f.startSector = img.Place(data);
    records.push_back(f);
  }
  DeviceTable table;
  const int fd = test::InstallDevice(table, img.bytes());
  size_t dated = 0;
  for (const Case& c : Cases()) {
    if (!c.date) continue;
    FoundFile cut = records[dated++];
    const uint64_t full = cut.length;
    for (cut.length = 0; cut.length < full; cut.length += 5) {
      uint64_t date = 0;
      const bool found = FormatOf(c.type)->captureDate(fd, cut, date);
      ASSERT_EQ(date, found ? c.date : 0) << c.file << " cut at " << cut.length;
    }
  }
  ::close(fd);
}

// The camera's 160 x 120 thumbnail of a 4000 x 3000 picture (3,015 bytes at
// byte 436 of the file, as exiftool reports), and for every cut
// of the head and every spoiled byte of the EXIF block: no thumbnail, or one
// that lies whole inside the bytes and starts as a JPEG.
TEST(ExifThumbnail, isFoundInIfd1AndNeverReachesPastTheBytesGiven) {
  const std::vector<uint8_t> jpeg = ReadTestFile("generated/image/big_4000x3000_exif_thumb.jpg");
  ASSERT_GT(jpeg.size(), kJpegExifHeadBytes);
  size_t offset = 0, length = 0;
  ASSERT_TRUE(JpegExifThumbnail(jpeg.data(), kJpegExifHeadBytes, offset, length));
  EXPECT_EQ(length, 3015u);
  EXPECT_EQ(offset, 436u);
  auto sound = [](const std::vector<uint8_t>& bytes, size_t size) {
    size_t at = 0, n = 0;
    if (!JpegExifThumbnail(bytes.data(), size, at, n)) return true;
    return at + n <= size && bytes[at] == 0xFF && bytes[at + 1] == 0xD8;
  };
  for (size_t cut = 0; cut < offset + length + 8; ++cut) ASSERT_TRUE(sound(jpeg, cut)) << "cut at " << cut;
  std::vector<uint8_t> spoiled(jpeg.begin(), jpeg.begin() + 1024);
  for (size_t i = 4; i < spoiled.size(); ++i) {
    for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}}) {
      const uint8_t kept = spoiled[i];
      spoiled[i] = value;
      ASSERT_TRUE(sound(spoiled, spoiled.size())) << "byte " << i << " spoiled";
      spoiled[i] = kept;
    }
  }
}

}  // namespace
}  // namespace lumicarve
