#include "scan/raw_preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "scan/filetime.h"
#include "test_device.h"

namespace lumicarve {
namespace {

using test::ReadTestFile;

uint64_t Filetime(int y, int mo, int d, int h, int mi, int s) {
  CalendarTime t;
  t.year = y; t.month = mo; t.day = d; t.hour = h; t.minute = mi; t.second = s;
  uint64_t ft = 0;
  EXPECT_TRUE(CalendarToFiletime(t, ft));
  return ft;
}

struct Preview {
  int found;
  PreviewInfo info;
  FoundFile record;
};

// Places `file` at sector 3 of a device and reads its preview there, the
// record typed `type` and as long as the file.
Preview ReadPreview(const std::vector<uint8_t>& file, uint32_t type = 0) {
  test::ImageBuilder img;
  img.Zeros(3);
  img.Place(file);
  img.Zeros(8);
  DeviceTable c;
  const int fd = test::InstallDevice(c, img.bytes());
  Preview p{};
  p.record.startSector = 3;
  p.record.type = type;
  p.record.length = type ? file.size() : 0;
  p.record.date = 42;
  p.found = ReadRawPreview(fd, p.record, p.info);
  ::close(fd);
  return p;
}

TEST(ParseExifDate, takesTheTimeAsWrittenAndRejectsImpossibleDates) {
  uint64_t ft = 0;
  const char text[] = "2011:05:03 10:20:30";
  ASSERT_TRUE(ParseExifDate(text, sizeof text - 1, ft));
  EXPECT_EQ(ft, Filetime(2011, 5, 3, 10, 20, 30));
  uint64_t kept = 42;
  EXPECT_FALSE(ParseExifDate("0000:00:00 00:00:00", 19, kept));
  EXPECT_FALSE(ParseExifDate("2011:02:29 10:20:30", 19, kept));
  EXPECT_FALSE(ParseExifDate("2011:05:03 24:00:00", 19, kept));
  EXPECT_FALSE(ParseExifDate("1600:12:31 10:20:30", 19, kept));
  // A text cut short reads its missing numbers as zero.
  EXPECT_FALSE(ParseExifDate("2011:05", 7, kept));
  EXPECT_EQ(kept, 42u);
  ASSERT_TRUE(ParseExifDate("2012:02:29 23:59:59", 19, ft));
  EXPECT_EQ(ft, Filetime(2012, 2, 29, 23, 59, 59));
}

TEST(Filetime, roundTripsAcrossTheWholeRange) {
  for (const CalendarTime& t : {CalendarTime{1601, 1, 1, 0, 0, 0, 0}, CalendarTime{1999, 12, 31, 23, 59, 59, 999},
                                CalendarTime{2000, 2, 29, 12, 0, 0, 0}, CalendarTime{2100, 3, 1, 1, 2, 3, 4},
                                CalendarTime{30827, 12, 31, 23, 59, 59, 999}}) {
    uint64_t ft = 0;
    ASSERT_TRUE(CalendarToFiletime(t, ft));
    CalendarTime back;
    ASSERT_TRUE(FiletimeToCalendar(ft, back));
    EXPECT_EQ(back.year, t.year);
    EXPECT_EQ(back.month, t.month);
    EXPECT_EQ(back.day, t.day);
    EXPECT_EQ(back.hour, t.hour);
    EXPECT_EQ(back.second, t.second);
    EXPECT_EQ(back.millisecond, t.millisecond);
  }
  // 1970-01-01 is 11,644,473,600 seconds after 1601-01-01.
  EXPECT_EQ(Filetime(1970, 1, 1, 0, 0, 0), 116444736000000000ull);
  uint64_t ft = 0;
  EXPECT_FALSE(CalendarToFiletime(CalendarTime{1900, 2, 29, 0, 0, 0, 0}, ft));
  CalendarTime t;
  EXPECT_FALSE(FiletimeToCalendar(~uint64_t{0}, t));
}

TEST(ReadRawPreview, findsTheEmbeddedJpegOfAPanasonicRawAndItsOriginalDate) {
  const Preview p = ReadPreview(ReadTestFile("corpus/Panasonic.rw2"));
  EXPECT_EQ(p.found, 1);
  EXPECT_EQ(p.info.offset, 3u * 512 + 1536);
  // The preview runs up to the raw data (tag 280 at 12,322).
  EXPECT_EQ(p.info.length, 12322u - 1536);
  EXPECT_EQ(p.record.date, Filetime(2008, 8, 6, 15, 21, 56));
}

TEST(ReadRawPreview, takesTheSubIfdJpegWalkedLastAndDateTimeOriginalOverDateTime) {
  const Preview p = ReadPreview(ReadTestFile("corpus/Nikon.nef"));
  EXPECT_EQ(p.found, 1);
  EXPECT_EQ(p.info.offset, 3u * 512 + 1120);
  EXPECT_EQ(p.info.length, 29u);
  EXPECT_EQ(p.record.date, Filetime(2004, 6, 9, 16, 2, 35));
}

TEST(ReadRawPreview, aStripCountsOnlyWhenItsIfdIsJpegCompressed) {
  // IFD0: uncompressed strip; no JPEG tags anywhere: no preview, date kept.
  const Preview tif = ReadPreview(ReadTestFile("corpus/ExifTool.tif"));
  EXPECT_EQ(tif.found, 0);
  EXPECT_EQ(tif.record.date, Filetime(2004, 2, 20, 8, 7, 49));
  // DNG: the SubIFDs' JPEG-compressed strips, the last one walked wins.
  const Preview dng = ReadPreview(ReadTestFile("corpus/DNG.dng"));
  EXPECT_EQ(dng.found, 1);
  EXPECT_EQ(dng.info.offset, 3u * 512 + 13070);
}

TEST(ReadRawPreview, anUnreadableStartSectorLeavesTheRecordAlone) {
  DeviceTable c;
  const int fd = test::InstallDevice(c, std::vector<uint8_t>(512, 0));
  FoundFile record{};
  record.startSector = 5;  // past the device's end
  record.date = 77;
  PreviewInfo info;
  EXPECT_EQ(ReadRawPreview(fd, record, info), 0);
  EXPECT_EQ(record.date, 77u);
  ::close(fd);
}

TEST(ReadRawPreview, endsACyclicIfdChain) {
  std::vector<uint8_t> b(1024, 0);
  std::memcpy(b.data(), "II*\0", 4);
  b[4] = 8;
  b[8] = 1;                             // one entry
  b[10] = 0x01; b[11] = 0x02;           // tag 513
  b[12] = 4; b[14] = 1;                 // LONG, count 1
  b[18] = 0x00; b[19] = 0x02;           // value 512
  b[22] = 8;                            // next IFD: itself
  const Preview p = ReadPreview(b);
  EXPECT_EQ(p.info.offset, 3u * 512 + 512);
  EXPECT_EQ(p.found, 0);  // no length
}


void PutU32be(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

size_t Find(const std::vector<uint8_t>& b, const char* text) {
  return static_cast<size_t>(std::search(b.begin(), b.end(), text, text + std::strlen(text)) - b.begin());
}

TEST(ReadRawPreview, findsTheJpegInACr3PreviewBoxOrThumbnailBoxAndInARafHeader) {
  constexpr uint64_t kStart = 3 * kSectorSize;
  const std::vector<uint8_t> cr3 = ReadTestFile("formats/preview.cr3");
  Preview p = ReadPreview(cr3, FT_CR3);
  ASSERT_EQ(p.found, 1);
  EXPECT_EQ(p.info.offset, kStart + Find(cr3, "PRVW") + 20);
  EXPECT_EQ(p.info.length, 15404u);
  EXPECT_EQ(p.record.date, 42u);  // dated by its format, not here

  // The corpus sample holds text where its JPEGs were; a JPEG put in its
  // thumbnail box is found there.
  std::vector<uint8_t> sample = ReadTestFile("corpus/CanonRaw.cr3");
  EXPECT_EQ(ReadPreview(sample, FT_CR3).found, 0);
  const size_t thmb = Find(sample, "THMB") - 4;
  PutU32be(sample, thmb + 16, 26);
  sample[thmb + 24] = 0xFF, sample[thmb + 25] = 0xD8, sample[thmb + 26] = 0xFF;
  p = ReadPreview(sample, FT_CR3);
  ASSERT_EQ(p.found, 1);
  EXPECT_EQ(p.info.offset, kStart + thmb + 24);
  EXPECT_EQ(p.info.length, 26u);

  p = ReadPreview(ReadTestFile("formats/preview.raf"), FT_RAF);
  ASSERT_EQ(p.found, 1);
  EXPECT_EQ(p.info.offset, kStart + 0x94);
  EXPECT_EQ(p.info.length, 0x6ab8u);
  EXPECT_EQ(p.record.date, 42u);
}

TEST(ReadRawPreview, distrustsCr3BoxSizesAndRafOffsets) {
  const std::vector<uint8_t> cr3 = ReadTestFile("formats/preview.cr3");
  const size_t prvw = Find(cr3, "PRVW") - 4;
  const size_t uuid = prvw - 32;
  struct Damage {
    size_t at;
    uint32_t value;
  };
  for (const Damage& d : {Damage{prvw + 20, 15405},      // the JPEG past its box
                          Damage{prvw, 0x7FFFFFF0},      // the box past its parent
                          Damage{uuid, 4},               // a box shorter than its header
                          Damage{uuid, 0xFFFFFFF0},      // a box past the file
                          Damage{prvw + 24, 0x3C44756D}}) {  // no JPEG where it says
    std::vector<uint8_t> bad = cr3;
    PutU32be(bad, d.at, d.value);
    EXPECT_EQ(ReadPreview(bad, FT_CR3).found, 0) << d.at << " " << d.value;
  }
  // A file cut before its preview's end: the record is the file as found.
  std::vector<uint8_t> cut(cr3.begin(), cr3.begin() + static_cast<long>(prvw + 1000));
  EXPECT_EQ(ReadPreview(cut, FT_CR3).found, 0);

  const std::vector<uint8_t> raf = ReadTestFile("formats/preview.raf");
  for (const Damage& d : {Damage{84, 0xFFFFFF00}, Damage{88, 0xFFFFFFF0}, Damage{84, 0}, Damage{88, 0},
                          Damage{84, static_cast<uint32_t>(raf.size() - 2)}}) {
    std::vector<uint8_t> bad = raf;
    PutU32be(bad, d.at, d.value);
    EXPECT_EQ(ReadPreview(bad, FT_RAF).found, 0) << d.at << " " << d.value;
  }
}

}  // namespace
}  // namespace lumicarve
