#include "scan/byte_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

namespace lumicarve {
namespace {

constexpr uint8_t kBytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
const ByteView kView(kBytes, sizeof kBytes);

TEST(ByteView, hasAcceptsRangesEndingAtTheLastByteAndRefusesAnyByteBeyond) {
  EXPECT_TRUE(kView.has(0, 8));
  EXPECT_TRUE(kView.has(7, 1));
  EXPECT_TRUE(kView.has(8, 0));
  EXPECT_FALSE(kView.has(7, 2));
  EXPECT_FALSE(kView.has(8, 1));
  EXPECT_FALSE(kView.has(9, 0));
  // Offsets and lengths near the top of size_t must not wrap into range.
  const size_t huge = std::numeric_limits<size_t>::max();
  EXPECT_FALSE(kView.has(1, huge));
  EXPECT_FALSE(kView.has(huge, 2));
  EXPECT_FALSE(ByteView().has(0, 1));
}

TEST(ByteView, fieldsReadInBothByteOrdersUpToTheLastByteAndNotOnePast) {
  uint8_t b = 0;
  uint16_t h = 0;
  uint32_t w = 0;
  uint64_t q = 0;
  EXPECT_TRUE(kView.u8(7, b));
  EXPECT_EQ(b, 0x08);
  EXPECT_TRUE(kView.u16le(6, h));
  EXPECT_EQ(h, 0x0807);
  EXPECT_TRUE(kView.u16be(6, h));
  EXPECT_EQ(h, 0x0708);
  EXPECT_TRUE(kView.u32le(4, w));
  EXPECT_EQ(w, 0x08070605u);
  EXPECT_TRUE(kView.u32(4, true, w));
  EXPECT_EQ(w, 0x05060708u);
  EXPECT_TRUE(kView.u64be(0, q));
  EXPECT_EQ(q, 0x0102030405060708u);

  // One byte short: the read fails and leaves the value as it was.
  h = 0xAAAA;
  w = 0xBBBBBBBB;
  q = 7;
  EXPECT_FALSE(kView.u8(8, b));
  EXPECT_FALSE(kView.u16(7, false, h));
  EXPECT_FALSE(kView.u32be(5, w));
  EXPECT_FALSE(kView.u64be(1, q));
  EXPECT_EQ(h, 0xAAAA);
  EXPECT_EQ(w, 0xBBBBBBBBu);
  EXPECT_EQ(q, 7u);
}

TEST(ByteView, slicesAndComparisonsStayInsideTheView) {
  const ByteView tail = kView.slice(6, 2);
  ASSERT_EQ(tail.size(), 2u);
  uint16_t h = 0;
  EXPECT_TRUE(tail.u16be(0, h));
  EXPECT_EQ(h, 0x0708);
  uint8_t b = 0;
  EXPECT_FALSE(tail.u8(2, b));

  const ByteView past = kView.slice(6, 3);
  EXPECT_EQ(past.size(), 0u);
  EXPECT_EQ(past.data(), nullptr);

  EXPECT_TRUE(kView.equals(6, "\x07\x08", 2));
  EXPECT_FALSE(kView.equals(7, "\x08\x09", 2));
  EXPECT_FALSE(kView.equals(0, "\x02", 1));
}

TEST(ByteView, searchesAndPeeksStopAtTheEnd) {
  // Past the end a peek reads zero, as a device reads beyond its last sector.
  EXPECT_EQ(kView.byte(7), 0x08);
  EXPECT_EQ(kView.byte(8), 0);
  EXPECT_EQ(kView.find(0, 100, uint8_t{0x08}), 7u);
  EXPECT_EQ(kView.find(0, 7, uint8_t{0x08}), std::nullopt);
  EXPECT_EQ(kView.find(9, 100, uint8_t{0x08}), std::nullopt);
  // A text is found where it starts in the range and lies whole in the view.
  EXPECT_EQ(kView.find(0, 7, "\x07\x08", 2), 6u);
  EXPECT_EQ(kView.find(0, 6, "\x07\x08", 2), std::nullopt);
  EXPECT_EQ(kView.find(7, 8, "\x08\x00", 2), std::nullopt);
  EXPECT_EQ(kView.slice(0, 7).find(0, 8, "\x07\x08", 2), std::nullopt);
  EXPECT_TRUE(ByteView(kBytes, 0).zeros(0, 8));
  EXPECT_FALSE(kView.zeros(7, 100));
  uint8_t out[2] = {};
  EXPECT_TRUE(kView.copy(6, 2, out));
  EXPECT_EQ(out[1], 0x08);
  EXPECT_FALSE(kView.copy(7, 2, out));
}

}  // namespace
}  // namespace lumicarve
