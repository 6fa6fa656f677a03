#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "scan/extent.h"
#include "test_device.h"

namespace lumicarve {
namespace {

using test::ReadTestFile;

void PutBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4, 0);
  b[at] = uint8_t(v >> 24); b[at + 1] = uint8_t(v >> 16); b[at + 2] = uint8_t(v >> 8); b[at + 3] = uint8_t(v);
}
void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4, 0);
  b[at] = uint8_t(v); b[at + 1] = uint8_t(v >> 8); b[at + 2] = uint8_t(v >> 16); b[at + 3] = uint8_t(v >> 24);
}
void PutText(std::vector<uint8_t>& b, size_t at, const char* t) {
  if (b.size() < at + std::strlen(t)) b.resize(at + std::strlen(t), 0);
  std::memcpy(b.data() + at, t, std::strlen(t));
}
void Atom(std::vector<uint8_t>& b, size_t& at, uint32_t size, const char* type) {
  PutBe32(b, at, size);
  PutText(b, at + 4, type);
  at += size;
  if (b.size() < at) b.resize(at, 0);
}

struct Measured {
  uint64_t length;  // 0 unless the header gave a length
  Extent::Kind kind;
  FileTypeMask type;
  int32_t errors;
};

Measured Measure(std::vector<uint8_t> bytes, FileTypeMask type, uint64_t padSectors = 4) {
  bytes.resize((bytes.size() + 511) / 512 * 512 + padSectors * 512, 0);
  const int fd = test::MakeDevice(bytes);
  test::RecordingObserver observer;
  ScanJob job;
  job.handle = fd;
  job.sectors = bytes.size() / 512;
  ScanContext c(job, observer);
  const Extent extent = FindExtent(c, 0, type);
  ::close(fd);
  return {extent.length, extent.kind, type, c.readErrors.load()};
}

TEST(AtomWalk, addsTheAtomsOfAnUnbrokenChainAndStopsAtAnUnknownAtom) {
  std::vector<uint8_t> b;
  size_t at = 0;
  Atom(b, at, 24, "ftyp");
  Atom(b, at, 1000, "moov");
  Atom(b, at, 5000, "mdat");
  EXPECT_EQ(Measure(b, FT_MP4).length, 6024u);
  Atom(b, at, 64, "uuid");
  EXPECT_EQ(Measure(b, FT_MP4).length, 6024u);
}

TEST(AtomWalk, anAtomOfSizeZeroRunsToTheEndAndOneBelowItsHeaderSizeEndsTheChain) {
  std::vector<uint8_t> b;
  size_t at = 0;
  Atom(b, at, 3863, "moov");
  PutBe32(b, at, 0);
  PutText(b, at + 4, "mdat");
  EXPECT_EQ(Measure(b, FT_MOV).kind, Extent::Kind::kOpenEnded);
  PutBe32(b, at, 7);
  EXPECT_EQ(Measure(b, FT_MOV).length, 3863u);
  std::vector<uint8_t> seven;
  PutBe32(seven, 0, 7);
  PutText(seven, 4, "mdat");
  EXPECT_EQ(Measure(seven, FT_MOV).length, 0u);
}

TEST(RiffAndBitmap, aClaimShorterThanTheFormatsHeaderDropsTheFile) {
  std::vector<uint8_t> avi;
  PutText(avi, 0, "RIFF");
  PutLe32(avi, 4, 0xFFFFFFFF);  // no longer wraps to 7 bytes
  PutText(avi, 8, "AVI LIST");
  EXPECT_EQ(Measure(avi, FT_AVI).length, 0xFFFFFFFFull + 8);
  PutLe32(avi, 4, 2);
  EXPECT_EQ(Measure(avi, FT_AVI).length, 0u);
  std::vector<uint8_t> bmp;
  PutText(bmp, 0, "BM");
  PutLe32(bmp, 2, 53);
  PutLe32(bmp, 14, 40);
  EXPECT_EQ(Measure(bmp, FT_BMP).length, 0u);
}

TEST(AtomWalk, follows64BitAtomSizesPastFourGibibytes) {
  std::vector<uint8_t> b;
  size_t at = 0;
  Atom(b, at, 32, "ftyp");
  PutBe32(b, at, 1);
  PutText(b, at + 4, "mdat");
  const uint64_t big = 5ull << 30;  // 5 GiB of media data
  PutBe32(b, at + 8, uint32_t(big >> 32));
  PutBe32(b, at + 12, uint32_t(big));
  // The device is only this header long: the walk stops at its end, with
  // the claim so far, and reads nothing past it.
  const Measured m = Measure(b, FT_MP4);
  EXPECT_EQ(m.length, 32 + big);
  EXPECT_EQ(m.errors, 0);
}

TEST(AtomWalk, readsTheNextSectorForAHeaderThatCrossesTheSectorEnd) {
  std::vector<uint8_t> b;
  size_t at = 0;
  Atom(b, at, 508, "free");  // the next header starts at 508: its type lies in sector 1
  Atom(b, at, 100, "moov");
  EXPECT_EQ(Measure(b, FT_MOV).length, 608u);
}

TEST(AtomWalk, realVideosMeasureToTheirExactSize) {
  for (const char* f : {"generated/video/mp4_isom_moov_end.mp4", "generated/video/mp4_isom_moov_front.mp4",
                        "generated/video/quicktime.mov", "generated/video/mobile.3gp"}) {
    const auto bytes = ReadTestFile(f);
    EXPECT_EQ(Measure(bytes, FT_MOV).length, bytes.size()) << f;
  }
}

TEST(AtomWalk, stopsAtAnAtomTypeOutsideTheKnownTopLevelSet) {
  // ftyp and moov, then a uuid box: the chain ends where uuid begins.
  EXPECT_EQ(Measure(ReadTestFile("corpus/CanonRaw.cr3"), FT_MOV).length, 11004u);
}

TEST(RiffAndBitmap, takeTheirSizeFields) {
  std::vector<uint8_t> avi;
  PutText(avi, 0, "RIFF");
  PutLe32(avi, 4, 1000);
  PutText(avi, 8, "AVI ");
  EXPECT_EQ(Measure(avi, FT_AVI).length, 1008u);
  std::vector<uint8_t> bmp;
  PutText(bmp, 0, "BM");
  PutLe32(bmp, 2, 54);
  EXPECT_EQ(Measure(bmp, FT_BMP).length, 54u);
  const auto realAvi = ReadTestFile("generated/video/video.avi");
  EXPECT_EQ(Measure(realAvi, FT_AVI).length, realAvi.size());
}

TEST(AsfWalk, keepsVideoWithItsFilePropertiesSizeAndDropsAudioOnly) {
  const auto wmv = ReadTestFile("generated/video/video.wmv");
  Measured m = Measure(wmv, FT_ASF);
  EXPECT_EQ(m.length, wmv.size());
  EXPECT_EQ(m.type, FT_WMV);
  m = Measure(ReadTestFile("generated/video/audio_only.wma"), FT_ASF);
  EXPECT_EQ(m.length, 0u);
  EXPECT_EQ(m.type, FT_ASF);
  // The corpus header claims more than it holds: the claim is the length.
  m = Measure(ReadTestFile("corpus/ASF.wmv"), FT_ASF);
  EXPECT_EQ(m.length, 414891u);
  EXPECT_EQ(m.type, FT_WMV);
}

TEST(FindExtent, dropsTypesWithoutAHeaderRule) {
  std::vector<uint8_t> b(512, 0);
  EXPECT_EQ(Measure(b, FT_JPG).kind, Extent::Kind::kDrop);
  EXPECT_EQ(Measure(b, FT_SRW).kind, Extent::Kind::kDrop);
}

// A small TIFF builder: IFDs of (tag, type, count, value) entries.
struct Ifd {
  struct E {
    uint16_t tag, type;
    uint32_t count, value;
  };
  std::vector<E> entries;
  uint32_t next = 0;
};

class Tiff {
 public:
  explicit Tiff(bool bigEndian) : be_(bigEndian), bytes_(8, 0) {
    std::memcpy(bytes_.data(), be_ ? "MM\0*" : "II*\0", 4);
  }
  void Put16(size_t at, uint16_t v) {
    Grow(at + 2);
    if (be_) { bytes_[at] = uint8_t(v >> 8); bytes_[at + 1] = uint8_t(v); }
    else { bytes_[at] = uint8_t(v); bytes_[at + 1] = uint8_t(v >> 8); }
  }
  void Put32(size_t at, uint32_t v) {
    Grow(at + 4);
    if (be_) PutBe32(bytes_, at, v); else PutLe32(bytes_, at, v);
  }
  void WriteIfd(size_t at, const Ifd& ifd) {
    Put16(at, uint16_t(ifd.entries.size()));
    for (size_t i = 0; i < ifd.entries.size(); ++i) {
      const auto& e = ifd.entries[i];
      const size_t p = at + 2 + i * 12;
      Put16(p, e.tag);
      Put16(p + 2, e.type);
      Put32(p + 4, e.count);
      if (e.type == 3 && e.count == 1) { Put16(p + 8, uint16_t(e.value)); Put16(p + 10, 0); }
      else Put32(p + 8, e.value);
    }
    Put32(at + 2 + ifd.entries.size() * 12, ifd.next);
  }
  void Grow(size_t n) { if (bytes_.size() < n) bytes_.resize(n, 0); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  bool be_;
  std::vector<uint8_t> bytes_;
};

Measured MeasureTiff(Tiff& t) { return Measure(t.bytes(), FT_TIF); }

TEST(TiffWalk, retypesByHeaderMakeAndDngVersion) {
  struct Case {
    const char* make;
    FileTypeMask type;
  };
  for (const Case& c : {Case{"NIKON CORPORATION", FT_NEF}, Case{"PENTAX Corporation", FT_PEF},
                        Case{"SONY", FT_ARW}, Case{"SAMSUNG", FT_SRW}, Case{"Canon", FT_TIF}}) {
    Tiff t(false);
    t.Put32(4, 8);
    t.WriteIfd(8, {{{271, 2, 20, 100}}, 0});
    PutText(t.bytes(), 100, c.make);
    EXPECT_EQ(MeasureTiff(t).type, c.type) << c.make;
  }
  Tiff dng(true);
  dng.Put32(4, 8);
  dng.WriteIfd(8, {{{271, 2, 20, 100}, {50706, 1, 4, 0x01010000}}, 0});
  PutText(dng.bytes(), 100, "NIKON");
  EXPECT_EQ(MeasureTiff(dng).type, FT_DNG);

  Tiff cr2(false);
  cr2.Put32(4, 16);
  cr2.WriteIfd(16, {{{256, 3, 1, 8}}, 0});
  PutText(cr2.bytes(), 8, "CR");
  cr2.bytes()[10] = 2;
  EXPECT_EQ(MeasureTiff(cr2).type, FT_CR2);
  Tiff orf(false);
  std::memcpy(orf.bytes().data(), "IIRO", 4);
  orf.Put32(4, 8);
  orf.WriteIfd(8, {{{256, 3, 1, 8}}, 0});
  EXPECT_EQ(MeasureTiff(orf).type, FT_ORF);
  Tiff rw2(false);
  std::memcpy(rw2.bytes().data(), "IIU\0", 4);
  rw2.Put32(4, 8);
  rw2.WriteIfd(8, {{{256, 3, 1, 8}}, 0});
  EXPECT_EQ(MeasureTiff(rw2).type, FT_RW2);
}

TEST(TiffWalk, lengthIsTheFurthestOfIfdStripsJpegTilesAndOutOfLineValues) {
  Tiff strips(false);
  strips.Put32(4, 8);
  strips.WriteIfd(8, {{{273, 4, 1, 5000}, {279, 4, 1, 700}}, 0});
  EXPECT_EQ(MeasureTiff(strips).length, 5700u);

  Tiff ifdLast(false);
  ifdLast.Put32(4, 3000);
  ifdLast.WriteIfd(3000, {{{273, 4, 1, 8}, {279, 4, 1, 100}}, 0});
  EXPECT_EQ(MeasureTiff(ifdLast).length, 3000u + 2 + 24);

  // Strip arrays: the last offset plus the last count.
  Tiff arrays(false);
  arrays.Put32(4, 8);
  arrays.WriteIfd(8, {{{273, 4, 3, 600}, {279, 3, 3, 700}}, 0});
  arrays.Put32(600, 1000); arrays.Put32(604, 2000); arrays.Put32(608, 9000);
  arrays.Put16(700, 10); arrays.Put16(702, 20); arrays.Put16(704, 30);
  EXPECT_EQ(MeasureTiff(arrays).length, 9030u);

  // A text value written after the last IFD and the strips.
  Tiff values(false);
  values.Put32(4, 8);
  values.WriteIfd(8, {{{273, 4, 1, 100}, {279, 4, 1, 50}, {305, 2, 40, 4000}}, 0});
  EXPECT_EQ(MeasureTiff(values).length, 4040u);
}

TEST(TiffWalk, aSingleShortValueInABigEndianFileIsSixteenBits) {
  Tiff t(true);
  t.Put32(4, 8);
  t.WriteIfd(8, {{{273, 4, 1, 2000}, {279, 3, 1, 100}}, 0});
  EXPECT_EQ(MeasureTiff(t).length, 2100u);
}

TEST(TiffWalk, survivesCyclesDeepSubIfdsAndOversizedIfds) {
  Tiff self(false);
  self.Put32(4, 8);
  self.WriteIfd(8, {{{273, 4, 1, 100}, {279, 4, 1, 10}}, 8});
  EXPECT_EQ(MeasureTiff(self).length, 110u);

  Tiff loop(false);
  loop.Put32(4, 8);
  loop.WriteIfd(8, {{{256, 3, 1, 1}}, 100});
  loop.WriteIfd(100, {{{256, 3, 1, 1}}, 8});
  EXPECT_EQ(MeasureTiff(loop).length, 100u + 2 + 12);

  // A SubIFD that points at itself is walked a bounded number of times.
  Tiff sub(false);
  sub.Put32(4, 8);
  sub.WriteIfd(8, {{{330, 4, 1, 200}}, 0});
  sub.WriteIfd(200, {{{330, 4, 1, 200}, {273, 4, 1, 7000}, {279, 4, 1, 1}}, 0});
  EXPECT_EQ(MeasureTiff(sub).length, 7001u);

  Tiff huge(false);
  huge.Put32(4, 8);
  huge.Put16(8, 201);
  EXPECT_EQ(MeasureTiff(huge).length, 0u);
}

TEST(TiffWalk, measuresTheRealTiffsToTheirSize) {
  for (const char* f : {"generated/image/tiff_big_endian_MM.tif", "generated/image/tiff_little_endian_II.tif",
                        "corpus/DNG.dng", "corpus/Nikon.nef", "corpus/ExifTool.tif", "corpus/GeoTiff.tif"}) {
    const auto bytes = ReadTestFile(f);
    EXPECT_EQ(Measure(bytes, FT_TIF).length, bytes.size()) << f;
  }
  EXPECT_EQ(Measure(ReadTestFile("corpus/DNG.dng"), FT_TIF).type, FT_DNG);
  EXPECT_EQ(Measure(ReadTestFile("corpus/Nikon.nef"), FT_TIF).type, FT_NEF);
  EXPECT_EQ(Measure(ReadTestFile("corpus/CanonRaw.cr2"), FT_TIF).type, FT_CR2);
  EXPECT_EQ(Measure(ReadTestFile("corpus/Panasonic.rw2"), FT_TIF).type, FT_RW2);
}

}  // namespace
}  // namespace lumicarve
