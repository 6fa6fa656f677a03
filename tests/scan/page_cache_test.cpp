// A scan leaves the page cache as it found it: what was cached before stays
// cached, and what the scan itself brought in is released behind it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "devices/device_list.h"
#include "scan/scan_loop.h"
#include "tests/scan/test_device.h"

namespace lumicarve {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

// The file's pages that are in the page cache, as fincore counts them.
std::vector<bool> Resident(int fd, size_t size) {
  std::vector<bool> out;
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) return out;
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((size + page - 1) / page);
  if (::mincore(map, size, resident.data()) == 0)
    for (unsigned char r : resident) out.push_back(r & 1);
  ::munmap(map, size);
  return out;
}

size_t Count(const std::vector<bool>& pages, size_t from, size_t to) {
  size_t n = 0;
  for (size_t p = from; p < to && p < pages.size(); ++p) n += pages[p];
  return n;
}

TEST(PageCache, aScanKeepsWhatWasCachedBeforeAndReleasesWhatItReadItself) {
  std::string dir = testing::TempDir() + "lumicarve-cache-XXXXXX";
  ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  const std::string path = dir + "/card.img";
  const size_t size = 128 * kMiB, warm = 32 * kMiB;
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    std::mt19937_64 rng(7);
    std::vector<uint64_t> block(kMiB / 8);
    for (size_t done = 0; done < size; done += kMiB) {
      for (uint64_t& v : block) v = rng();
      ASSERT_EQ(::write(fd, block.data(), kMiB), ssize_t(kMiB));
    }
    ASSERT_EQ(::fdatasync(fd), 0);
    ::close(fd);
  }
  const int probe = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(probe, 0);
  const size_t pageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE)), pages = size / pageSize;
  ::posix_fadvise(probe, 0, 0, POSIX_FADV_DONTNEED);
  if (Count(Resident(probe, size), 0, pages) > pages / 8) {
    ::close(probe);
    ::unlink(path.c_str());
    ::rmdir(dir.c_str());
    GTEST_SKIP() << "this file system keeps its files in memory; nothing to release";
  }
  // Someone else's working set: the first 32 MiB, read as a program reads a
  // file, with the kernel's read-ahead past it.
  std::vector<uint8_t> buf(kMiB);
  for (size_t at = 0; at < warm; at += kMiB) ASSERT_EQ(::pread(probe, buf.data(), kMiB, off_t(at)), ssize_t(kMiB));
  // The read-ahead still in flight settles before the cache is looked at.
  std::vector<bool> before = Resident(probe, size);
  for (int i = 0; i < 50; ++i) {
    ::usleep(100000);
    std::vector<bool> now = Resident(probe, size);
    if (now == before) break;
    before = std::move(now);
  }
  ASSERT_EQ(Count(before, 0, warm / pageSize), warm / pageSize);

  auto table = std::make_unique<DeviceTable>();
  Message error;
  ASSERT_EQ(AddImageDevice(*table, path, &error), 0) << error.Text();
  test::RecordingObserver sink;
  ScanJob job;
  job.handle = table->devices[0].handle;
  job.sectors = table->devices[0].totalSectors;
  ScanContext c(job, sink);
  StartScanThread(c).join();
  table.reset();

  const std::vector<bool> after = Resident(probe, size);
  size_t lost = 0, added = 0;
  for (size_t p = 0; p < pages; ++p) {
    lost += before[p] && !after[p];
    added += !before[p] && after[p];
  }
  EXPECT_EQ(lost, 0u) << "pages cached before the scan were dropped";
  EXPECT_LE(added * pageSize, 2 * kMiB) << "the scan left what it read in the cache";
  ::close(probe);
  ::unlink(path.c_str());
  ::rmdir(dir.c_str());
}

}  // namespace
}  // namespace lumicarve
