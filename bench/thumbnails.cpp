// Thumbnail speed: a disk image holding N copies of a full-size camera JPEG
// (4000 x 3000), listed as one day in thumbnail mode through the real view
// and its worker. Prints the time until the list is complete and until the
// first tile shows, tiles per second of wall time and per CPU second.
//   thumbnails [--files N] [--dir DIR]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "results/ui/lumicarve_view.h"
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

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int files = 200;
  QString where;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--files")) files = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--dir")) where = QString::fromLocal8Bit(argv[i + 1]);
  }
  QFile source(QStringLiteral(LUMICARVE_TEST_DATA "/generated/image/big_4000x3000_exif_thumb.jpg"));
  if (!source.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "thumbnails: cannot read the test picture\n");
    return 1;
  }
  QByteArray jpeg = source.readAll();
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

  CLumicarveView view(&context);
  view.resize(900, 700);
  view.show();
  int shown = 0;
  qint64 firstTileMs = -1;
  QElapsedTimer clock;
  QObject::connect(&view, &CLumicarveView::tileShown, &view, [&] {
    if (++shown == 1) firstTileMs = clock.elapsed();
  });
  const double cpuBefore = CpuSeconds();
  clock.start();
  view.RefreshList({NODE_FILES, &folder}, false);
  const qint64 listedMs = clock.elapsed();
  // Sleeps between events rather than spinning, so the CPU figure is the
  // worker's and the window's own. The timer wakes the loop to look again.
  QTimer tick;
  tick.start(20);
  while (shown < files && (view.workerRunning() || shown < view.tilesMade()))
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double seconds = clock.elapsed() / 1000.0;
  const double cpu = CpuSeconds() - cpuBefore;
  ::close(fd);

  std::printf("thumbnails: %d tiles of 4000 x 3000 JPEGs (%.1f MB each) from a disk image\n", shown,
              source.size() / 1e6);
  std::printf("  list complete with blank tiles  %lld ms\n", static_cast<long long>(listedMs));
  std::printf("  first tile shown                %lld ms after the listing began\n",
              static_cast<long long>(firstTileMs));
  std::printf("  all tiles                       %.2f s: %.1f tiles/s\n", seconds, shown / seconds);
  std::printf("  CPU time                        %.2f s: %.1f tiles per CPU second\n", cpu,
              cpu > 0 ? shown / cpu : 0.0);
  return shown == files ? 0 : 1;
}
