#include "scan/recognise.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace lumicarve {
namespace {

struct Sector {
  uint8_t b[512] = {};
  Sector& At(size_t off, std::initializer_list<uint8_t> bytes) {
    std::memcpy(b + off, bytes.begin(), bytes.size());
    return *this;
  }
  Sector& Text(size_t off, const char* t) {
    std::memcpy(b + off, t, std::strlen(t));
    return *this;
  }
};

FileTypeMask Recognise(const Sector& s, FileTypeMask enabled = kAllTypes) { return RecogniseSector(s.b, enabled); }

TEST(RecogniseSector, acceptsEachSignatureOfTheOrderedTable) {
  EXPECT_EQ(Recognise(Sector().At(0, {0xFF, 0xD8, 0xFF, 0xE1}).Text(6, "Exif")), FT_JPG);
  EXPECT_EQ(Recognise(Sector().At(0, {0xFF, 0xD8, 0xFF, 0xE0}).Text(6, "JFIF")), FT_JPG);
  EXPECT_EQ(Recognise(Sector().At(0, {0x89}).Text(1, "PNG")), FT_PNG);
  EXPECT_EQ(Recognise(Sector().Text(0, "GIF89a")), FT_GIF);
  EXPECT_EQ(Recognise(Sector().Text(0, "BM").At(14, {0x28, 0, 0, 0})), FT_BMP);
  EXPECT_EQ(Recognise(Sector().At(0, {'I', 'I', 0x2A, 0})), FT_TIF);
  EXPECT_EQ(Recognise(Sector().At(0, {'M', 'M', 0, 0x2A})), FT_TIF);
  EXPECT_EQ(Recognise(Sector().Text(0, "IIRO")), FT_TIF);
  EXPECT_EQ(Recognise(Sector().At(0, {'I', 'I', 'U', 0})), FT_TIF);
  EXPECT_EQ(Recognise(Sector().Text(4, "ftyp3gp6").Text(16, "3gp6")), FT_3GP);
  EXPECT_EQ(Recognise(Sector().Text(4, "ftypisom").Text(16, "isom")), FT_MP4);
  EXPECT_EQ(Recognise(Sector().Text(4, "moov")), FT_MOV);
  EXPECT_EQ(Recognise(Sector().Text(0, "RIFF").Text(8, "AVI ")), FT_AVI);
  EXPECT_EQ(Recognise(Sector().At(0, {0, 0, 1, 0xB3})), FT_MPG);
  EXPECT_EQ(Recognise(Sector().At(0, {0, 0, 1, 0xBA})), FT_MPG);
  EXPECT_EQ(Recognise(Sector().At(4, {0x47, 0x40, 0, 0x10, 0, 0, 0xB0}).At(196, {0x47}).At(388, {0x47})), FT_MTS);
  // Any arrival time stamp; the table of programs in the second packet, after
  // an adaptation field.
  EXPECT_EQ(Recognise(Sector().At(0, {3, 0x2C, 0x2E, 0x48, 0x47, 0x11}).At(196, {0x47, 0x40, 0, 0x30, 1, 0, 0, 0, 0xB0}).At(388, {0x47})),
            FT_MTS);
  EXPECT_EQ(Recognise(Sector().At(0, {0x30, 0x26, 0xB2, 0x75})), FT_ASF);
}

TEST(RecogniseSector, rejectsNearMisses) {
  EXPECT_EQ(Recognise(Sector().At(0, {0xFF, 0xD8, 0xFF, 0xDB})), 0u);
  EXPECT_EQ(Recognise(Sector().Text(0, "BM").At(14, {0x28, 0, 1, 0})), 0u);
  EXPECT_EQ(Recognise(Sector().At(0, {0, 0, 1, 0xB9})), 0u);
  EXPECT_EQ(Recognise(Sector().At(0, {0, 0, 1, 0xE0})), 0u);
  EXPECT_EQ(Recognise(Sector().At(4, {0x47, 0x40, 0x11, 0x10, 0, 0, 0xF0})), 0u);
  EXPECT_EQ(Recognise(Sector().At(4, {0x47, 0x40, 0, 0x10, 0, 0, 0xB0}).At(196, {0x47})), 0u);
  EXPECT_EQ(Recognise(Sector().At(0, {1}).Text(4, "moov")), 0u);
  EXPECT_EQ(Recognise(Sector()), 0u);
}

TEST(RecogniseSector, answersOnlyForEnabledTypes) {
  const Sector jpeg = Sector().At(0, {0xFF, 0xD8, 0xFF, 0xE1}).Text(6, "Exif");
  EXPECT_EQ(Recognise(jpeg, FT_PNG | FT_MOV), 0u);
  // Only the low half of the enabled mask is consulted.
  EXPECT_EQ(Recognise(jpeg, FT_JPG << 32), 0u);
  // The TIFF family's gate is any of its members.
  EXPECT_EQ(Recognise(Sector().Text(0, "IIRO"), FT_ORF), FT_TIF);
  EXPECT_EQ(Recognise(Sector().At(0, {'I', 'I', 0x2A, 0}), FT_NEF), FT_TIF);
  EXPECT_EQ(Recognise(Sector().At(0, {'I', 'I', 0x2A, 0}), FT_JPG), 0u);
  const Sector asf = Sector().At(0, {0x30, 0x26, 0xB2, 0x75});
  EXPECT_EQ(Recognise(asf, FT_WMV), FT_ASF);
  EXPECT_EQ(Recognise(asf, FT_ASF), FT_ASF);
  EXPECT_EQ(Recognise(asf, FT_MP4), 0u);
}

TEST(RecogniseSector, ftypFilesFallToTheMostSpecificEnabledType) {
  const Sector mp4 = Sector().At(0, {0, 0, 0, 0x20}).Text(4, "ftypisom").Text(16, "isom");
  EXPECT_EQ(Recognise(mp4), FT_MP4);
  EXPECT_EQ(Recognise(mp4, FT_MOV | FT_3GP), FT_MOV);
  EXPECT_EQ(Recognise(mp4, FT_3GP), 0u);
  const Sector threeGp = Sector().Text(4, "ftyp3gp6").Text(16, "3gp6");
  EXPECT_EQ(Recognise(threeGp, FT_MP4 | FT_MOV), FT_MOV);
}

TEST(IsQuickTimeAtom, acceptsMdatOfAnySizeAndOthersBelow16MiB) {
  Sector s;
  s.At(0, {0xFF, 0, 0, 0}).Text(4, "mdat");
  EXPECT_TRUE(IsQuickTimeAtom(ByteView(s.b, 8), 0));
  for (const char* atom : {"moov", "free", "skip", "wide", "pnot", "ftyp"}) {
    Sector big = Sector().At(0, {0x01, 0, 0, 0}).Text(4, atom);
    Sector small = Sector().At(0, {0, 0xFF, 0xFF, 0xFF}).Text(4, atom);
    EXPECT_FALSE(IsQuickTimeAtom(ByteView(big.b, 8), 0)) << atom;
    EXPECT_TRUE(IsQuickTimeAtom(ByteView(small.b, 8), 0)) << atom;
    // A header cut short is no atom.
    EXPECT_FALSE(IsQuickTimeAtom(ByteView(small.b, 7), 0)) << atom;
  }
  EXPECT_FALSE(IsQuickTimeAtom(ByteView(Sector().Text(4, "uuid").b, 8), 0));
}

TEST(RecogniseSector, recognisesEveryTestFileByItsFirstSector) {
  // First 20 bytes of the real files, from their descriptions.
  struct Case {
    std::vector<uint8_t> head;
    FileTypeMask type;
  };
  const std::vector<Case> cases = {
      {{0x00, 0x00, 0x00, 0x18, 0x66, 0x74, 0x79, 0x70, 0x63, 0x72, 0x78, 0x20, 0x00, 0x00, 0x00, 0x01, 0x63, 0x72, 0x78, 0x20}, FT_CR3},
      {{0x49, 0x49, 0x55, 0x00, 0x18, 0x00, 0x00, 0x00, 0x88, 0xe7, 0x74, 0xd8}, FT_TIF},
      {{0x30, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11}, FT_ASF},
  };
  for (const Case& c : cases) {
    Sector s;
    std::memcpy(s.b, c.head.data(), c.head.size());
    EXPECT_EQ(Recognise(s), c.type);
  }
}

}  // namespace
}  // namespace lumicarve
