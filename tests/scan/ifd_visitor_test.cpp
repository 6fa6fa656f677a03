#include "scan/formats/ifd_visitor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "scan/extent.h"
#include "scan/raw_preview.h"
#include "test_device.h"

namespace lumicarve {
namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2, 0);
  b[at] = uint8_t(v); b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4, 0);
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A little-endian TIFF whose IFD at 8 has 200 entries, each a SubIFD tag
// listing 200 offsets that all point back at that IFD: 3,214 bytes.
std::vector<uint8_t> SubIfdBomb() {
  std::vector<uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const uint32_t array = 8 + 2 + 200 * 12 + 4;
  Put16(b, 8, 200);
  for (int i = 0; i < 200; ++i) {
    const size_t e = 10 + size_t(i) * 12;
    Put16(b, e, 330);
    Put16(b, e + 2, 4);
    Put32(b, e + 4, 200);
    Put32(b, e + 8, array);
  }
  Put32(b, array - 4, 0);
  for (int i = 0; i < 200; ++i) Put32(b, array + 4 * size_t(i), 8);
  return b;
}

// `n` IFDs of one entry each, 18 bytes apart from 8 on, each the next of the
// one before; the first one's entry is a SubIFD tag listing all the others.
std::vector<uint8_t> ChainOf(uint32_t n, bool subIfdsToo) {
  std::vector<uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const uint32_t array = 8 + 18 * n;
  for (uint32_t i = 0; i < n; ++i) {
    const size_t at = 8 + 18 * size_t(i);
    Put16(b, at, 1);
    Put16(b, at + 2, i == 0 && subIfdsToo ? 330 : 256);
    Put16(b, at + 4, 4);
    Put32(b, at + 6, i == 0 && subIfdsToo ? n - 1 : 1);
    Put32(b, at + 10, i == 0 && subIfdsToo ? array : 1);
    Put32(b, at + 14, i + 1 < n ? uint32_t(at + 18) : 0);
    if (i > 0) Put32(b, array + 4 * size_t(i - 1), uint32_t(at));
  }
  return b;
}

class CountIfds : public IfdVisitor::Handler {
 public:
  void Entry(IfdVisitor& walk, const IfdPlace& place, const TiffEntry& e) override {
    if (e.tag == 330) walk.WalkSubIfds(place, e, *this);
  }
  void IfdDone(const IfdPlace& place, uint16_t, bool walked) override {
    if (walked) (place.kind == IfdKind::kChain ? chain : sub)++;
  }
  int chain = 0, sub = 0;
};

TEST(IfdVisitor, aSubIfdBombIsWalkedOnceAndScansInUnderASecond) {
  const std::vector<uint8_t> bomb = SubIfdBomb();
  CountIfds count;
  IfdVisitor walk(ByteView(bomb.data(), bomb.size()), false);
  walk.WalkChain(8, count);
  EXPECT_EQ(count.chain + count.sub, 1);

  test::ImageBuilder img;
  img.Zeros(2);
  const uint64_t at = img.Place(bomb);
  img.Zeros(8);
  const auto start = std::chrono::steady_clock::now();
  test::ScanRun run(img.bytes());
  run.Run();
  FoundFile record = run.files().empty() ? FoundFile{} : run.files()[0];
  PreviewInfo info;
  ReadRawPreview(run.fd, record, info);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  ASSERT_EQ(run.files().size(), 1u);
  EXPECT_EQ(run.files()[0].startSector, at);
  EXPECT_EQ(run.files()[0].length, bomb.size());
}

TEST(IfdVisitor, aFileGetsAtMostSixtyFourIfdsAndASubIfdTagNineOfItsOffsets) {
  const std::vector<uint8_t> chain = ChainOf(100, false);
  CountIfds count;
  IfdVisitor walk(ByteView(chain.data(), chain.size()), false);
  walk.WalkChain(8, count);
  EXPECT_EQ(count.chain, kMaxIfdsPerFile);
  EXPECT_TRUE(walk.stopped());

  // IFD0 lists the other 19 as SubIFDs: nine of them are walked below it,
  // and the chain ends at IFD1, already visited below IFD0.
  const std::vector<uint8_t> listed = ChainOf(20, true);
  CountIfds both;
  IfdVisitor walk2(ByteView(listed.data(), listed.size()), false);
  walk2.WalkChain(8, both);
  EXPECT_EQ(both.sub, kMaxSubIfdsPerTag);
  EXPECT_EQ(both.chain, 1);
  EXPECT_FALSE(walk2.stopped());
}

TEST(IfdVisitor, aRaisedCancelEndsTheWalkBeforeItsNextIfd) {
  const std::vector<uint8_t> chain = ChainOf(40, false);
  int asked = 0;
  CountIfds count;
  IfdVisitor walk(ByteView(chain.data(), chain.size()), false, [&asked] { return ++asked > 3; });
  walk.WalkChain(8, count);
  EXPECT_EQ(count.chain, 3);
  EXPECT_TRUE(walk.stopped());
}

}  // namespace
}  // namespace lumicarve
