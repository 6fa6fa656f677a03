// Thumbnail speed: a disk image holding N copies of a full-size camera JPEG
// (4000 x 3000), listed as one day in thumbnail mode through the real view
// and its pool of workers, once per worker count asked for. First the
// decoder's own floor in the same run: libjpeg decoding the same file from
// memory at 1/8 scale on one thread. Prints the time until the list is
// complete and until the first tile shows, tiles per second of wall time and
// per CPU second, and the tiles per CPU second against the floor's.
//   thumbnails [--files N] [--dir DIR] [--workers N]...   (workers 1 and 2 unless given)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <fcntl.h>
#include <time.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#ifdef LUMICARVE_BENCH_LIBJPEG
#include <csetjmp>
#include <jpeglib.h>
#endif

#include "results/ui/lumicarve_view.h"
#include "results/ui/thumbnail_worker.h"
#include "results/results_storage.h"
#include "scan/sector_reader.h"
#include "shell/app_context.h"

using namespace lumicarve;

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

#ifdef LUMICARVE_BENCH_LIBJPEG
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

// One decode at 1/8 scale from memory; false when the decoder gave up.
bool DecodeEighth(const QByteArray& jpeg, std::vector<unsigned char>& rows) {
  jpeg_decompress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); };
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()),
               static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.scale_num = 1;
  info.scale_denom = 8;
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  const size_t stride = size_t(info.output_width) * info.output_components;
  rows.resize(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rows.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

struct Floor {
  double perSecond = 0;     // decodes per second of wall time, one thread
  double perCpuSecond = 0;  // decodes per CPU second: what one core gives
};

Floor DecoderFloor(const QByteArray& jpeg, int files) {
  std::vector<unsigned char> rows;
  QElapsedTimer clock;
  clock.start();
  const double cpuBefore = ThreadCpuSeconds();
  for (int i = 0; i < files; ++i)
    if (!DecodeEighth(jpeg, rows)) return {};
  return {files / (clock.nsecsElapsed() / 1e9), files / (ThreadCpuSeconds() - cpuBefore)};
}
#endif

struct Figures {
  int shown = 0;
  qint64 listedMs = 0, firstTileMs = -1;
  double seconds = 0, cpu = 0;
};

Figures RunView(AppContext& context, FileFolder& folder, int files) {
  Figures out;
  CLumicarveView view(&context);
  view.resize(900, 700);
  view.show();
  QElapsedTimer clock;
  QEventLoop loop;
  QObject::connect(&view, &CLumicarveView::tileShown, &view, [&] {
    if (++out.shown == 1) out.firstTileMs = clock.elapsed();
    if (out.shown == files) loop.quit();
  });
  QObject::connect(&view, &CLumicarveView::thumbnailsIdle, &loop, &QEventLoop::quit);
  const double cpuBefore = CpuSeconds();
  clock.start();
  view.RefreshList({NODE_FILES, &folder}, false);
  out.listedMs = clock.elapsed();
  // The loop sleeps between events, so the CPU figure is the workers' and
  // the window's own.
  if (out.shown < files) loop.exec();
  out.seconds = clock.elapsed() / 1000.0;
  out.cpu = CpuSeconds() - cpuBefore;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int files = 200;
  QString where;
  std::vector<int> workerCounts;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--files")) files = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--dir")) where = QString::fromLocal8Bit(argv[i + 1]);
    if (!std::strcmp(argv[i], "--workers")) workerCounts.push_back(std::max(1, std::atoi(argv[i + 1])));
  }
  if (workerCounts.empty()) workerCounts = {1, 2};
  QFile source(QStringLiteral(LUMICARVE_TEST_DATA "/generated/image/big_4000x3000_exif_thumb.jpg"));
  if (!source.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "thumbnails: cannot read the test picture\n");
    return 1;
  }
  QByteArray jpeg = source.readAll();
  const QByteArray picture = jpeg;
  const qint64 slot = (jpeg.size() + 511) / 512 * 512 + 512;
  jpeg.append(QByteArray(static_cast<int>(slot - jpeg.size()), '\0'));

  QTemporaryDir dir(where.isEmpty() ? QDir::tempPath() + QStringLiteral("/lumicarve-thumbs-XXXXXX")
                                    : where + QStringLiteral("/lumicarve-thumbs-XXXXXX"));
  const QString imagePath = dir.filePath(QStringLiteral("card.img"));
  {
    QFile image(imagePath);
    if (!image.open(QIODevice::WriteOnly)) return 1;
    for (int i = 0; i < files; ++i)
      if (image.write(jpeg) != jpeg.size()) return 1;
  }
  const int fd = ::open(imagePath.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 1;

  AppContext context;
  context.devices[0].handle = fd;
  context.devices[0].totalSectors = static_cast<uint64_t>(slot / 512) * files;
  context.deviceCount = 1;
  context.scannedDeviceIndex = 0;
  context.displayFlags = 1;
  SetReadLimit(context.devices[0].totalSectors);
  FileFolder folder;
  std::vector<std::unique_ptr<FoundFile>> copies;
  for (int i = 0; i < files; ++i) {
    auto f = std::make_unique<FoundFile>();
    *f = FoundFile{};
    std::snprintf(f->name, sizeof f->name, "%08d.JPG", i + 1);
    f->type = static_cast<uint32_t>(FT_JPG);
    f->length = static_cast<uint64_t>(source.size());
    f->startSector = static_cast<uint64_t>(slot / 512) * i;
    AppendToFolder(folder, f.get());
    ++folder.count;
    copies.push_back(std::move(f));
  }

  std::printf("thumbnails: %d tiles of 4000 x 3000 JPEGs (%.1f MB each) from a disk image, %d cores\n", files,
              source.size() / 1e6, QThread::idealThreadCount());
  double floor = 0;
#ifdef LUMICARVE_BENCH_LIBJPEG
  const Floor measured = DecoderFloor(picture, files);
  floor = measured.perCpuSecond;
  std::printf("  decoder floor (libjpeg, 1/8 scale, from memory, one thread)\n");
  std::printf("    %.1f decodes/s, %.1f decodes per CPU second\n", measured.perSecond, measured.perCpuSecond);
#else
  std::printf("  decoder floor: not measured (built without libjpeg)\n");
#endif
  bool complete = true;
  for (int workers : workerCounts) {
    // The product's own pool, sized as the bench asks.
    ThumbnailPool().setMaxThreadCount(workers);
    const Figures f = RunView(context, folder, files);
    complete = complete && f.shown == files;
    std::printf("  %d worker%s\n", workers, workers == 1 ? "" : "s");
    std::printf("    list complete with blank tiles  %lld ms\n", static_cast<long long>(f.listedMs));
    std::printf("    first tile shown                %lld ms after the listing began\n",
                static_cast<long long>(f.firstTileMs));
    std::printf("    all tiles                       %.2f s: %.1f tiles/s\n", f.seconds, f.shown / f.seconds);
    std::printf("    CPU time                        %.2f s: %.1f tiles per CPU second\n", f.cpu,
                f.cpu > 0 ? f.shown / f.cpu : 0.0);
    // Per core: tiles per CPU second of the whole program (workers and
    // window) against the decoder's decodes per CPU second. CPU time keeps
    // the figure honest on a machine other work shares.
    if (floor > 0 && f.cpu > 0) std::printf("    per core against the floor      %.2f\n", f.shown / f.cpu / floor);
  }
  ::close(fd);
  return complete ? 0 : 1;
}
