#include "scan/file_types.h"

#include <gtest/gtest.h>

#include <string>

namespace lumicarve {
namespace {

std::string Ext(FileTypeMask type) {
  TypeCatalogue c;
  FillTypeCatalogue(c);
  char out[kExtensionSize];
  return ExtensionForType(c, type, out);
}

TEST(TypeCatalogue, isFilledInStoredOrderWithAviBeforeArwAndAnEndEntry) {
  TypeCatalogue c;
  FillTypeCatalogue(c);
  std::string order;
  int n = 0;
  for (const TypeEntry& e : c) {
    if (e.mask == kAllTypes) break;
    order += e.extension;
    order += ' ';
    ++n;
  }
  EXPECT_EQ(n, 27);
  EXPECT_EQ(order, "3GP AVI ARW AVIF BMP CR2 CR3 DNG GIF HEIC JPG MKV MOV MP4 MPG MTS NEF ORF PEF PNG RAF RW2 SRW TIF WEBM WEBP WMV ");
  EXPECT_EQ(c[27].description, 0u);
  EXPECT_STREQ(c[27].extension, "...");
}

TEST(TypeCatalogue, extensionOfAsfOrOfTwoBitsIsThreeZeros) {
  EXPECT_EQ(Ext(FT_ASF), "000");
  EXPECT_EQ(Ext(FT_JPG | FT_PNG), "000");
  EXPECT_EQ(Ext(FT_TIF), "TIF");
  EXPECT_EQ(Ext(FT_RW2), "RW2");
}

TEST(TypeClasses, areEqualityTestsOnTheWholeValue) {
  EXPECT_TRUE(IsPictureType(FT_TIF));
  EXPECT_FALSE(IsPictureType(FT_JPG | FT_PNG));
  EXPECT_FALSE(IsPictureType(FT_CR2));
  EXPECT_TRUE(IsRawType(FT_SRW));
  EXPECT_FALSE(IsRawType(FT_TIF));
  EXPECT_TRUE(IsVideoType(FT_MTS));
  EXPECT_FALSE(IsVideoType(FT_ASF));
  // Only the low half counts.
  EXPECT_TRUE(IsVideoType(FT_MOV | (FileTypeMask{1} << 40)));
  int pictures = 0, raws = 0, videos = 0;
  for (int bit = 0; bit < 64; ++bit) {
    FileTypeMask t = FileTypeMask{1} << bit;
    pictures += IsPictureType(t);
    raws += IsRawType(t);
    videos += IsVideoType(t);
  }
  EXPECT_EQ(pictures, 8);
  EXPECT_EQ(raws, 10);
  EXPECT_EQ(videos, 9);
}

}  // namespace
}  // namespace lumicarve
