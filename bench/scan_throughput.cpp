// Scan throughput against the machine's own limit. Builds three disk images
// of a given size (random bytes; a camera card, 80 % of it real-size JPEGs;
// a video card of large MP4 files), reads each once to warm the page cache,
// then measures plain sequential 1 MiB preads over it and a full scan of it,
// each in a child process so CPU time and peak memory are its own. The rows
// named "window" scan through the real main window (offscreen); "cli" through
// the engine as the command line drives it.
//
// The figures of this machine's memory vary by a fifth from one run to the
// next, so each measurement is taken in several rounds, plain reads and scan
// alternating, and the best of each is printed.
//
//   scan_throughput [--size MiB] [--dir DIR] [--keep] [--reuse] [--rounds N] [--only ROW]
//
// --reuse scans images of the right size left in DIR by an earlier --keep;
// --only measures the rows whose name starts with ROW (to profile one).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "devices/device_list.h"
#include "filesystem/file_system_pass.h"
#include "recovery/jpeg_exif_date.h"
#include "scan/scan_loop.h"
#include "scan/sector_reader.h"
#ifdef LUMICARVE_BENCH_WINDOW
#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QTimer>

#include "shell/main_frame.h"
#endif

namespace {

using namespace lumicarve;

struct Figures {
  double seconds = 0, cpuSeconds = 0;
  long peakRssKb = 0;
  uint64_t readCalls = 0, files = 0;
  bool ok = true;
};

uint64_t g_state = 0x9E3779B97F4A7C15ull;
uint64_t Next() {
  g_state ^= g_state << 13;
  g_state ^= g_state >> 7;
  g_state ^= g_state << 17;
  return g_state;
}
void FillRandom(std::vector<uint8_t>& b) {
  for (size_t i = 0; i + 8 <= b.size(); i += 8) {
    uint64_t v = Next();
    std::memcpy(b.data() + i, &v, 8);
  }
}

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Writer {
 public:
  explicit Writer(const std::string& path) : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)) {}
  // Flushed to the disk, as a scanned device is: dropping dirty pages from
  // the cache behind the scan would otherwise wait for their write-back.
  ~Writer() {
    ::fdatasync(fd_);
    ::close(fd_);
  }
  void Put(const uint8_t* p, size_t n) {
    while (n) {
      ssize_t w = ::write(fd_, p, n);
      if (w <= 0) { std::perror("write"); std::exit(1); }
      p += w; n -= size_t(w); written_ += uint64_t(w);
    }
  }
  void Random(uint64_t n) {
    std::vector<uint8_t> b(1 << 20);
    while (n) {
      FillRandom(b);
      const size_t k = n < b.size() ? size_t(n) : b.size();
      Put(b.data(), k);
      n -= k;
    }
  }
  void Align() {
    static const uint8_t zeros[512] = {};
    if (written_ % 512) Put(zeros, 512 - written_ % 512);
  }
  uint64_t written() const { return written_; }

 private:
  int fd_;
  uint64_t written_ = 0;
};

void MakeRandom(const std::string& path, uint64_t size) {
  Writer w(path);
  w.Random(size);
}

// 80 % of the sectors inside JPEGs of a 4000 x 3000 camera picture.
void MakeCameraCard(const std::string& path, uint64_t size, const std::vector<uint8_t>& jpeg) {
  Writer w(path);
  const uint64_t gap = jpeg.size() / 4;  // one quarter gap per file: 80 / 20
  while (w.written() + jpeg.size() + gap < size) {
    w.Random(gap / 512 * 512);
    w.Put(jpeg.data(), jpeg.size());
    w.Align();
  }
  w.Random(size - w.written());
}

// Videos of up to 1 GiB whose headers give their length, with 1 MiB of
// random bytes after each.
void MakeVideoCard(const std::string& path, uint64_t size) {
  Writer w(path);
  const uint64_t count = size >> 30 ? size >> 30 : 1;
  const uint64_t video = size / count - (2 << 20);
  while (w.written() + video + (1 << 20) < size) {
    std::vector<uint8_t> head(32, 0);
    const uint8_t ftyp[] = {0, 0, 0, 24, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 2, 0, 'i', 's', 'o', 'm', 'm', 'p', '4', '1'};
    std::memcpy(head.data(), ftyp, 24);
    const uint32_t mdat = uint32_t(video - 24);
    head[24] = uint8_t(mdat >> 24); head[25] = uint8_t(mdat >> 16); head[26] = uint8_t(mdat >> 8); head[27] = uint8_t(mdat);
    std::memcpy(head.data() + 28, "mdat", 4);
    w.Put(head.data(), head.size());
    w.Random(video - 32);
    w.Random(1 << 20);
  }
  w.Random(size - w.written());
}

void Warm(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  std::vector<uint8_t> b(1 << 20);
  while (::read(fd, b.data(), b.size()) > 0) {
  }
  ::close(fd);
}

double Seconds(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

// What the command line does with each report, without the printing: a
// JPEG is dated from its EXIF block read from the device.
class CliLikeObserver : public ScanObserver {
 public:
  explicit CliLikeObserver(int fd) : fd_(fd) {}
  void OnProgress(int) override {}
  void OnFileFound(std::unique_ptr<FoundFile> file) override { DateJpegFromExif(fd_, *file); }
  void OnFinished(const ScanResult&) override {}

 private:
  int fd_;
};

// Runs `body` in a child; the child writes its two numbers to a pipe.
template <typename F>
Figures InChild(F body) {
  int fds[2];
  if (::pipe(fds) != 0) std::exit(1);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    uint64_t out[4] = {0, 0, 0, 0};
    body(out);
    if (::write(fds[1], out, sizeof out) != sizeof out) _exit(1);
    _exit(0);
  }
  ::close(fds[1]);
  uint64_t in[4] = {0, 0, 0, 0};
  const bool answered = ::read(fds[0], in, sizeof in) == sizeof in;
  ::close(fds[0]);
  int status = 0;
  struct rusage ru {};
  ::wait4(pid, &status, 0, &ru);
  Figures f;
  f.seconds = Seconds(start);
  f.cpuSeconds = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  f.peakRssKb = ru.ru_maxrss;
  f.readCalls = in[0];
  f.files = in[1];
  // A child that starts a program first (the window) times the scan itself:
  // wall and CPU microseconds from the Start button to the end.
  if (in[2]) {
    f.seconds = double(in[2]) / 1e6;
    f.cpuSeconds = double(in[3]) / 1e6;
  }
  f.ok = answered && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return f;
}

Figures PlainReads(const std::string& path) {
  return InChild([&](uint64_t* out) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) _exit(1);
    std::vector<uint8_t> b(1 << 20);
    uint64_t calls = 0;
    while (::read(fd, b.data(), b.size()) > 0) ++calls;
    out[0] = calls;
  });
}

// The engine as the command line drives it.
Figures CliScan(const std::string& path) {
  return InChild([&](uint64_t* out) {
    auto table = std::make_unique<DeviceTable>();
    Message error;
    if (AddImageDevice(*table, path, &error) < 0) _exit(1);
    ScanJob job;
    job.handle = table->devices[0].handle;
    job.sectors = table->devices[0].totalSectors;
    job.carveHints = MakeFileSystemPass;
    CliLikeObserver observer(job.handle);
    ScanContext c(job, observer);
    StartScanThread(c).join();
    out[0] = ReadCallCount();
    out[1] = uint64_t(c.filesFound.load());
  });
}

#ifdef LUMICARVE_BENCH_WINDOW
double CpuSeconds() {
  struct rusage ru {};
  ::getrusage(RUSAGE_SELF, &ru);
  return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Calls `shown` with each message box as it shows: the completion box marks
// the end of a scan. Watching for it costs the window's thread nothing while
// the scan runs, where a polling timer would wake it a thousand times a second.
class BoxWatch : public QObject {
 public:
  explicit BoxWatch(std::function<void(QMessageBox*)> shown) : shown_(std::move(shown)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show)
      if (auto* box = qobject_cast<QMessageBox*>(watched)) shown_(box);
    return false;
  }

 private:
  std::function<void(QMessageBox*)> shown_;
};

// The real main window, offscreen, from the Start button to the completion
// box: the scan thread, the relay, the folder tree and the live preview.
Figures WindowScan(const std::string& path) {
  return InChild([&](uint64_t* out) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "scan_throughput";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // Never destroyed: the child ends with _exit and leaves the settings alone.
    auto* frame = new CMainFrame;
    frame->show();
    if (!frame->openDiskImage(QString::fromStdString(path))) _exit(1);
    // The completion box marks the end; it is closed as soon as it shows.
    std::chrono::steady_clock::time_point begun, ended;
    double cpuBegun = 0, cpuEnded = 0;
    // Once the scan has ended and its box is closed, the program leaves with
    // exit(), not quit(): quit() closes the window first, which would ask
    // about the found files in a box of its own.
    std::function<void()> leaveWhenIdle = [&] {
      if (frame->context().scanState.load() != SCAN_RUNNING && frame->context().commandEnable[0])
        QCoreApplication::exit(0);
      else
        QTimer::singleShot(1, leaveWhenIdle);
    };
    BoxWatch watch([&](QMessageBox* box) {
      if (cpuEnded == 0) {
        ended = std::chrono::steady_clock::now();
        cpuEnded = CpuSeconds();
      }
      QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
      QTimer::singleShot(1, leaveWhenIdle);
    });
    app.installEventFilter(&watch);
    QTimer::singleShot(0, [&] {
      begun = std::chrono::steady_clock::now();
      cpuBegun = CpuSeconds();
      frame->controlRequest(CMainFrame::kStartScan);
    });
    app.exec();
    out[2] = uint64_t(std::chrono::duration<double, std::micro>(ended - begun).count());
    out[3] = uint64_t((cpuEnded - cpuBegun) * 1e6);
    out[0] = ReadCallCount();
    out[1] = uint64_t(frame->scanCounters().filesFound.load());
  });
}
#endif

Figures Scan(const std::string& path, bool window) {
#ifdef LUMICARVE_BENCH_WINDOW
  if (window) return WindowScan(path);
#else
  (void)window;
#endif
  return CliScan(path);
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t sizeMiB = 2048;
  std::string dir = "/tmp";
  bool keep = false, reuse = false;
  int rounds = 3;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--size") && i + 1 < argc) sizeMiB = std::strtoull(argv[++i], nullptr, 10);
    else if (!std::strcmp(argv[i], "--dir") && i + 1 < argc) dir = argv[++i];
    else if (!std::strcmp(argv[i], "--keep")) keep = true;
    else if (!std::strcmp(argv[i], "--reuse")) reuse = true;
    else if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) only = argv[++i];
    else {
      std::fprintf(stderr, "usage: scan_throughput [--size MiB] [--dir DIR] [--keep] [--reuse] [--rounds N] [--only ROW]\n");
      return 2;
    }
  }
  const uint64_t size = sizeMiB << 20;
  const auto jpeg = Slurp(std::string(LUMICARVE_TEST_DATA) + "/generated/image/big_4000x3000_exif_thumb.jpg");
  if (jpeg.empty()) {
    std::fprintf(stderr, "scan_throughput: test picture not found\n");
    return 1;
  }
  struct Image {
    const char* name;
    std::string path;
    bool window = true;
  };
  std::vector<Image> images = {{"random", dir + "/lumicarve-bench-random.img"},
                               {"camera card", dir + "/lumicarve-bench-camera.img"},
                               {"camera, cli", dir + "/lumicarve-bench-camera.img", false},
                               {"video card", dir + "/lumicarve-bench-video.img"}};
  auto present = [&](const std::string& path) {
    struct stat st {};
    return reuse && ::stat(path.c_str(), &st) == 0 && uint64_t(st.st_size) == size;
  };
  std::fprintf(stderr, "building three images of %" PRIu64 " MiB in %s ...\n", sizeMiB, dir.c_str());
  const std::string& randomPath = images[0].path;
  const std::string& cameraPath = images[1].path;
  const std::string& videoPath = images[3].path;
  if (!present(randomPath)) MakeRandom(randomPath, size);
  if (!present(cameraPath)) MakeCameraCard(cameraPath, size, jpeg);
  if (!present(videoPath)) MakeVideoCard(videoPath, size);

  const double gib = double(size) / double(1ull << 30);
  std::printf("%-12s %10s %10s %7s %10s %10s %10s %8s\n", "image", "pread MB/s", "scan MB/s", "ratio", "CPU s/GiB",
              "peak RSS", "reads", "files");
  // The rows of one image are measured in the same rounds, one after the
  // other, so the window and the command line meet the machine in the same
  // state; the plain reads of each round are their common yardstick.
  for (size_t first = 0; first < images.size();) {
    size_t end = first;
    while (end < images.size() && images[end].path == images[first].path) ++end;
    std::vector<const Image*> rows;
    for (size_t i = first; i < end; ++i)
      if (std::string(images[i].name).rfind(only, 0) == 0) rows.push_back(&images[i]);
    const std::string& path = images[first].path;
    Figures plain;
    std::vector<Figures> scans(rows.size());
    bool failed = false;
    for (int round = 0; round < rounds && !failed && !rows.empty(); ++round) {
      Warm(path);
      const Figures p = PlainReads(path);
      failed = !p.ok;
      if (round == 0 || p.seconds < plain.seconds) plain = p;
      for (size_t r = 0; r < rows.size() && !failed; ++r) {
        Warm(path);
        const Figures s = Scan(path, rows[r]->window);
        failed = !s.ok;
        if (round == 0 || s.seconds < scans[r].seconds) scans[r] = s;
      }
    }
    const double plainRate = double(size) / 1e6 / plain.seconds;
    for (size_t r = 0; r < rows.size(); ++r) {
      const Figures& scan = scans[r];
      const double scanRate = double(size) / 1e6 / scan.seconds;
      if (failed)  // a row of figures from a run that did not finish would look like a result
        std::printf("%-12s failed: the plain read or a scan of %s did not finish\n", rows[r]->name, path.c_str());
      else
        std::printf("%-12s %10.0f %10.0f %7.2f %10.3f %7ld MB %10" PRIu64 " %8" PRIu64 "\n", rows[r]->name, plainRate,
                    scanRate, scanRate / plainRate, scan.cpuSeconds / gib, scan.peakRssKb / 1024, scan.readCalls,
                    scan.files);
    }
    std::fflush(stdout);
    if (!keep) ::unlink(path.c_str());
    first = end;
  }
  return 0;
}
