// The load benchmarks' disk image: many small real PNGs, one every two
// sectors, so a scan finds one file per kilobyte of disk.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lumicarve::bench {

inline constexpr uint64_t kSlotBytes = 1024;

// Writes `files` copies of the PNG at `pngPath` to `image`; false on failure.
inline bool WriteLoadImage(const std::string& image, const std::string& pngPath, uint64_t files) {
  std::ifstream in(pngPath, std::ios::binary);
  std::vector<uint8_t> png{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (png.empty() || png.size() > kSlotBytes) return false;
  const int fd = ::open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  constexpr uint64_t kSlotsPerWrite = 4096;
  std::vector<uint8_t> chunk(kSlotsPerWrite * kSlotBytes, 0);
  for (uint64_t i = 0; i < kSlotsPerWrite; ++i) std::copy(png.begin(), png.end(), chunk.begin() + i * kSlotBytes);
  bool ok = true;
  for (uint64_t done = 0; done < files && ok; done += kSlotsPerWrite) {
    const size_t bytes = (files - done < kSlotsPerWrite ? files - done : kSlotsPerWrite) * kSlotBytes;
    ok = ::write(fd, chunk.data(), bytes) == static_cast<ssize_t>(bytes);
  }
  // One empty block after the last file, so it ends inside the disk.
  std::vector<uint8_t> tail(64 * 512, 0);
  ok = ok && ::write(fd, tail.data(), tail.size()) == static_cast<ssize_t>(tail.size());
  return ::close(fd) == 0 && ok;
}

// Reuses an image of the right size (one kept with --keep), else writes it.
inline bool WriteLoadImageIfMissing(const std::string& image, uint64_t files) {
  struct stat st {};
  if (::stat(image.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_size) == files * kSlotBytes + 64 * 512)
    return true;
  if (WriteLoadImage(image, std::string(LUMICARVE_TEST_DATA) + "/corpus/PNG.png", files)) return true;
  std::fprintf(stderr, "cannot write the load image %s\n", image.c_str());
  return false;
}

struct LoadOptions {
  uint64_t files = 1000000;
  std::string dir;
  bool keep = false;
  bool preview = true;  // the window's live preview
  std::string image() const { return dir + "/lumicarve-load-" + std::to_string(files) + ".img"; }
};

// --files N, --dir DIR (default $TMPDIR or /tmp), --keep (the image stays
// for the next run), and with `window` --no-preview. False on a bad option.
inline bool ParseLoadOptions(int argc, char** argv, bool window, LoadOptions& o) {
  const char* tmp = std::getenv("TMPDIR");
  o.dir = tmp && *tmp ? tmp : "/tmp";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--files" && i + 1 < argc) o.files = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--dir" && i + 1 < argc) o.dir = argv[++i];
    else if (a == "--keep") o.keep = true;
    else if (window && a == "--no-preview") o.preview = false;
    else return false;
  }
  return o.files > 0;
}

// The process's peak resident memory so far, in KiB.
inline long PeakRssKb() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// The process's resident memory now, in KiB.
inline long CurrentRssKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kb = 0;
      status >> kb;
      return kb;
    }
    status.ignore(1 << 20, '\n');
  }
  return 0;
}

}  // namespace lumicarve::bench
