#include "recovery/jpeg_exif_date.h"

#include <gtest/gtest.h>

#include "scan/filetime.h"
#include "scan/test_device.h"

namespace lumicarve {
namespace {

using test::ReadTestFile;

CalendarTime Calendar(uint64_t filetime) {
  CalendarTime t;
  EXPECT_TRUE(FiletimeToCalendar(filetime, t));
  return t;
}

TEST(JpegExifDate, theCaptureDateOfRealCameraFilesIsRead) {
  struct Case {
    const char* file;
    int year, month, day;
  } cases[] = {{"ui/Kodak.jpg", 2002, 5, 1},
               {"ui/make_in_model_canon.jpg", 2008, 6, 21},
               {"ui/make_not_in_model_fuji.jpg", 2011, 4, 30},
               {"ui/progressive.jpg", 2019, 11, 2}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = ReadTestFile(c.file);
    uint64_t date = 0;
    ASSERT_TRUE(JpegExifDate(bytes.data(), bytes.size(), date)) << c.file;
    const CalendarTime t = Calendar(date);
    EXPECT_EQ(t.year * 10000 + t.month * 100 + t.day, c.year * 10000 + c.month * 100 + c.day) << c.file;
  }
}

TEST(JpegExifDate, aJpegWithoutExifOrWithItCutShortHasNoDate) {
  uint64_t date = 7;
  const std::vector<uint8_t> plain = ReadTestFile("ui/jfif_only_no_exif.jpg");
  EXPECT_FALSE(JpegExifDate(plain.data(), plain.size(), date));
  const std::vector<uint8_t> canon = ReadTestFile("ui/make_in_model_canon.jpg");
  // Every cut of the header, and a header with its IFD offsets pointing far
  // beyond the bytes: never a read past the end, never a date.
  for (size_t cut = 0; cut < 400 && cut < canon.size(); ++cut) JpegExifDate(canon.data(), cut, date);
  date = 7;
  EXPECT_FALSE(JpegExifDate(canon.data(), 40, date));
  const uint8_t hostile[] = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x16, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0,
                             0xF0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(JpegExifDate(hostile, sizeof hostile, date));
  EXPECT_EQ(date, 7u);
}

TEST(JpegExifDate, aFoundJpegOnTheDeviceGetsItsDateAndOtherTypesAreLeftAlone) {
  const std::vector<uint8_t> canon = ReadTestFile("ui/make_in_model_canon.jpg");
  test::ImageBuilder img;
  img.Random(3);
  FoundFile f{};
  f.startSector = img.Place(canon);
  f.length = canon.size();
  f.type = FT_JPG;
  DeviceTable context;
  const int fd = test::InstallDevice(context, img.bytes());
  ASSERT_TRUE(DateJpegFromExif(fd, f));
  EXPECT_EQ(Calendar(f.date).year, 2008);
  FoundFile png = f;
  png.type = FT_PNG;
  png.date = 0;
  EXPECT_FALSE(DateJpegFromExif(fd, png));
  EXPECT_EQ(png.date, 0u);
  ::close(fd);
}

}  // namespace
}  // namespace lumicarve
