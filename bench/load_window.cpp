// Load through the window: the same million-file disk scanned by the main
// frame, every file filed into the folder tree (undated files in groups of
// 1000 under "unsorted") and listed while "unsorted" is selected. Measures
// the longest time the interface thread went without an event-loop
// iteration, the total time and the peak memory. Runs offscreen.
//
//   load_window [--files N] [--dir DIR] [--keep] [--no-preview]
// --no-preview switches the control pane's live preview off, to tell its
// share of the time from the tree's.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/load_image.h"
#include "controls/tri_check_tree.h"
#include "results/ui/folder_view_pane.h"
#include "shell/main_frame.h"

using namespace lumicarve;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  bench::LoadOptions o;
  if (!bench::ParseLoadOptions(argc, argv, true, o)) {
    std::fprintf(stderr, "usage: load_window [--files N] [--dir DIR] [--keep] [--no-preview]\n");
    return 2;
  }
  const uint64_t files = o.files;
  const bool preview = o.preview;
  const std::string image = o.image();
  if (!bench::WriteLoadImageIfMissing(image, files)) return 1;

  QApplication app(argc, argv);
  const long rssBefore = bench::CurrentRssKb();
  CMainFrame frame;
  frame.show();
  if (!frame.openDiskImage(QString::fromStdString(image))) return 1;
  frame.context().previewEnabled = preview ? 1 : 0;

  // A zero timer fires once per event-loop iteration: the longest gap between
  // two firings is the longest the interface was blocked.
  Clock::time_point last = Clock::now(), start;
  double longestMs = 0, longestAt = 0;
  int filesAtLongest = 0;
  bool scanning = false, reported = false;
  QTimer beat;
  QObject::connect(&beat, &QTimer::timeout, [&] {
    const Clock::time_point now = Clock::now();
    const double gap = std::chrono::duration<double, std::milli>(now - last).count();
    if (scanning && gap > longestMs) {
      longestMs = gap;
      longestAt = std::chrono::duration<double>(now - start).count();
      filesAtLongest = frame.scanCounters().filesFound.load();
    }
    last = now;
    // The completion box: closed as soon as it shows, which ends the run.
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      scanning = false;
      reported = true;
      box->done(QMessageBox::Ok);
    }
    // exit(), not quit(): quit() closes the window first, which asks about
    // the found files in a box this timer (busy in its own slot) never closes.
    if (reported && frame.context().scanState.load() != SCAN_RUNNING) QCoreApplication::exit(0);
  });
  beat.start(0);
  QTimer::singleShot(0, [&] {
    start = Clock::now();
    last = start;
    scanning = true;
    frame.controlRequest(CMainFrame::kStartScan);
  });
  app.exec();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  frame.waitForScanThread();
  const long peak = bench::PeakRssKb();

  QTreeWidget* tree = frame.folderPane()->tree();
  const QString unsorted = tree->topLevelItemCount() ? tree->topLevelItem(tree->topLevelItemCount() - 1)->text(0)
                                                     : QString();
  std::printf("Load through the window: %" PRIu64 " PNGs of 572 bytes, live preview %s\n", files,
              preview ? "on" : "off");
  std::printf("  scan + folder tree: %.1f s, %d files found, root item \"%s\" with %d groups\n", seconds,
              frame.scanCounters().filesFound.load(), unsorted.toUtf8().constData(),
              tree->topLevelItemCount() ? tree->topLevelItem(tree->topLevelItemCount() - 1)->childCount() : 0);
  std::printf("  longest interface stall: %.1f ms, %.1f s into the scan, %d files found by then\n", longestMs,
              longestAt, filesAtLongest);
  std::printf("  peak memory: %.1f MiB (%.1f MiB before the window)\n", peak / 1024.0, rssBefore / 1024.0);
  if (!o.keep) ::unlink(image.c_str());
  return frame.scanCounters().filesFound.load() == static_cast<int>(files) ? 0 : 1;
}
