#include "scan/sector_reader.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace lumicarve {
namespace {

int Device(const std::vector<uint8_t>& bytes) {
  const int fd = ::memfd_create("reader-test", MFD_CLOEXEC);
  EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  return fd;
}

TEST(ReadSectors, refusesReadsEndingPastTheLimitWithoutTouchingTheDevice) {
  const int fd = Device(std::vector<uint8_t>(1000 * 512, 1));
  std::vector<uint8_t> buf(64 * 512);
  SetReadLimit(1000);
  EXPECT_TRUE(ReadSectors(fd, 936, 64, 512, buf.data()));
  EXPECT_FALSE(ReadSectors(fd, 937, 64, 512, buf.data()));
  EXPECT_EQ(LastReadError(), ERANGE);
  SetReadLimit(0);
  EXPECT_FALSE(ReadSectors(fd, 0, 1, 512, buf.data()));
  ::close(fd);
}

TEST(ReadSectors, positionsSectorsAboveTwoToTheThirtySecond) {
  const int fd = ::memfd_create("reader-sparse", MFD_CLOEXEC);
  const uint64_t sector = (1ull << 32) + 5;
  if (::ftruncate(fd, off_t((sector + 1) * 512)) != 0) GTEST_SKIP() << "no sparse 2 TiB file here";
  uint8_t mark[512];
  std::fill(mark, mark + 512, 0xAB);
  ASSERT_EQ(::pwrite(fd, mark, 512, off_t(sector * 512)), 512);
  SetReadLimit(sector + 1);
  uint8_t buf[512] = {};
  ASSERT_TRUE(ReadSectors(fd, sector, 1, 512, buf));
  EXPECT_EQ(buf[0], 0xAB);
  EXPECT_EQ(buf[511], 0xAB);
  ::close(fd);
}

TEST(ReadSectors, aShortReadFailsButAnImagesPartialLastSectorReadsAsZeros) {
  std::vector<uint8_t> bytes(2 * 512 + 100, 7);
  const int fd = Device(bytes);
  SetReadLimit(10);
  std::vector<uint8_t> buf(4 * 512, 0xEE);
  // The third sector holds 100 bytes of the image, the rest reads as zeros.
  ASSERT_TRUE(ReadSectors(fd, 0, 3, 512, buf.data()));
  EXPECT_EQ(buf[2 * 512 + 99], 7);
  EXPECT_EQ(buf[2 * 512 + 100], 0);
  EXPECT_EQ(buf[3 * 512 - 1], 0);
  // A whole missing sector is a failure.
  EXPECT_FALSE(ReadSectors(fd, 0, 4, 512, buf.data()));
  EXPECT_EQ(LastReadError(), EIO);
  ::close(fd);
}

TEST(ReadSectors, failsWhereTheFaultSeamSaysAndNowhereElse) {
  const int fd = Device(std::vector<uint8_t>(200 * 512, 1));
  SetReadLimit(200);
  std::vector<uint8_t> buf(64 * 512);
  SetReadFaults({{100, 101, EIO}, {150, 150, ENODEV}});
  EXPECT_TRUE(ReadSectors(fd, 36, 64, 512, buf.data()));
  EXPECT_FALSE(ReadSectors(fd, 37, 64, 512, buf.data()));
  EXPECT_EQ(LastReadError(), EIO);
  EXPECT_FALSE(ReadSectors(fd, 150, 1, 512, buf.data()));
  EXPECT_EQ(LastReadError(), ENODEV);
  ClearReadFaults();
  EXPECT_TRUE(ReadSectors(fd, 100, 1, 512, buf.data()));
  ::close(fd);
}

}  // namespace
}  // namespace lumicarve
