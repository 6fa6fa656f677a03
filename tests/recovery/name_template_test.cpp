#include "recovery/name_template.h"

#include <gtest/gtest.h>

#include <cstring>

#include "scan/filetime.h"

namespace lumicarve {
namespace {

FoundFile File(uint32_t type, int year = 0, int month = 0, int day = 0) {
  FoundFile f{};
  std::strcpy(f.name, "00000007.JPG");
  f.type = type;
  f.length = 1000;
  if (year) {
    CalendarTime t;
    t.year = year, t.month = month, t.day = day, t.hour = 10;
    EXPECT_TRUE(CalendarToFiletime(t, f.date));
  }
  return f;
}

class NameTemplate : public ::testing::Test {
 protected:
  NameTemplate() { FillTypeCatalogue(catalogue); }
  std::string Expand(const char* t, const FoundFile& f, uint32_t seq, bool folders = true) {
    return ExpandNameTemplate(t, f, seq, catalogue, folders);
  }
  TypeCatalogue catalogue{};
};

TEST_F(NameTemplate, defaultTemplateFilesADatedPictureByYearMonthDayAndNumber) {
  EXPECT_EQ(Expand("%Y\\%M\\%D\\%4N", File(FT_JPG, 2012, 5, 17), 7), "2012/05/17/0007.JPG");
  EXPECT_EQ(Expand("%Y\\%M\\%D\\%4N", File(FT_CR2, 1999, 12, 3), 123), "1999/12/03/0123.CR2");
}

TEST_F(NameTemplate, anUndatedFileGoesToUnsortedAndItsNameDateElementsBecomeZeros) {
  EXPECT_EQ(Expand("%Y\\%M\\%D\\%4N", File(FT_JPG), 7), "unsorted/0007.JPG");
  EXPECT_EQ(Expand("photos\\%Y\\%M\\%4N", File(FT_PNG), 2), "photos/unsorted/0002.PNG");
  EXPECT_EQ(Expand("%Y-%M-%D_%2N", File(FT_GIF), 3), "0000-00-00_03.GIF");
  // A date beyond what the calendar can hold counts as no date.
  FoundFile bad = File(FT_JPG);
  bad.date = ~uint64_t{0};
  EXPECT_EQ(Expand("%Y\\%N", bad, 1), "unsorted/0001.JPG");
}

TEST_F(NameTemplate, theDigitsOfTheSequenceNumberFollowTheTemplate) {
  const FoundFile f = File(FT_MOV, 2020, 1, 2);
  EXPECT_EQ(Expand("%1N", f, 5), "5.MOV");
  EXPECT_EQ(Expand("%9N", f, 5), "000000005.MOV");
  EXPECT_EQ(Expand("%N", f, 5), "0005.MOV");
  // More files than the digits can count: the number is never cut.
  EXPECT_EQ(Expand("%2N", f, 1234), "1234.MOV");
  // Not an element: copied as it is.
  EXPECT_EQ(Expand("100%_%0N%", f, 1), "100%_%0N%.MOV");
}

TEST_F(NameTemplate, backslashAndSlashBothSeparateFolders) {
  const FoundFile f = File(FT_JPG, 2012, 5, 17);
  EXPECT_EQ(Expand("%Y/%M\\%D/img_%3N", f, 1), "2012/05/17/img_001.JPG");
}

TEST_F(NameTemplate, hostileTemplatesStayBelowTheDestination) {
  const FoundFile f = File(FT_JPG, 2012, 5, 17);
  EXPECT_EQ(Expand("..\\..\\etc\\%N", f, 1), "etc/0001.JPG");
  EXPECT_EQ(Expand("/abs/%Y", f, 1), "abs/2012.JPG");
  EXPECT_EQ(Expand("\\\\%Y\\\\.\\%N", f, 1), "2012/0001.JPG");
  EXPECT_EQ(Expand("%Y\\..", f, 9), "2012/0009.JPG");
  EXPECT_EQ(Expand("%Y\\", f, 9), "2012/0009.JPG");
  EXPECT_EQ(Expand("", f, 9), "0009.JPG");
  EXPECT_EQ(Expand("a\nb\\c\td", f, 1), "a_b/c_d.JPG");
  for (const char* t : {"..", "../..", "..\\x\\..\\..\\y", "/", "/../../%N", ".\\..\\...\\%N"}) {
    const std::string path = Expand(t, f, 1);
    EXPECT_NE(path.front(), '/') << t;
    for (size_t from = 0;;) {
      const size_t slash = path.find('/', from);
      const std::string part = path.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
      EXPECT_TRUE(!part.empty() && part != "." && part != "..") << t << " gives " << path;
      if (slash == std::string::npos) break;
      from = slash + 1;
    }
  }
}

TEST_F(NameTemplate, anOverLongComponentIsCutSoTheNameFitsTheFileSystem) {
  const std::string longName(259, 'x');
  const std::string path = Expand(longName.c_str(), File(FT_JPG), 1);
  EXPECT_EQ(path, std::string(kMaxNameComponent, 'x') + ".JPG");
}

TEST_F(NameTemplate, withoutDataFoldersEveryFileGoesDirectlyIntoTheDestination) {
  EXPECT_EQ(Expand("%Y\\%M\\%D\\%4N", File(FT_JPG, 2012, 5, 17), 7, false), "0007.JPG");
  EXPECT_EQ(Expand("%Y\\%M\\%D\\%4N", File(FT_JPG), 7, false), "0007.JPG");
}

}  // namespace
}  // namespace lumicarve
