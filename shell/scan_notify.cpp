// The window's side of the scan thread's notifications: the progress
// display, the found files, the result at the end, and the reset after it.
#include <QCoreApplication>
#include <QThread>

#include "controls/tri_check_tree.h"
#include "shell/control_pane.h"
#include "results/ui/folder_view_pane.h"
#include "results/ui/lumicarve_view.h"
#include "results/ui/pane_preview.h"
#include "shell/main_frame.h"
#include "text/string_table.h"
#include "text/text_format.h"
#include "shell/window_strings.h"

namespace lumicarve {

void CMainFrame::handleReport(ScanRelay::Report& report) {
  switch (report.kind) {
    case ScanRelay::Report::kProgress:
      scanProgress(report.perMille);
      break;
    case ScanRelay::Report::kFile:
      scanFileFound(std::move(report.file));
      break;
    case ScanRelay::Report::kFinished:
      scanFinished(report.result);
      break;
  }
}

void CMainFrame::scanProgress(int perMille) {
  if (context_.scanState.load() != SCAN_RUNNING) return;
  progressTick(perMille);
  controlPane_->transferTexts(progress_.Texts());
}

void CMainFrame::scanFileFound(std::unique_ptr<FoundFile> file) {
  // Files found before a cancel are still listed: the counters include them.
  const int32_t state = context_.scanState.load();
  if (state != SCAN_RUNNING && state != SCAN_CANCEL) return;
  foundFile(std::move(file));
  controlPane_->transferTexts(progress_.Texts());
}

void CMainFrame::scanFinished(const ScanResult& result) {
  // The thread's last act was this report: the join is immediate.
  if (scanThread_.joinable()) scanThread_.join();
  lastResult_ = result;
  if (result.end == ScanEnd::kCancelled || context_.scanState.load() == SCAN_CANCEL) {
    progress_.ShowCounters(counters(), context_.thousandsSeparator);
    EndScan();
    controlPane_->setProgressCaption(tr("Progress: cancelled"));
    const int32_t found = scan_ ? scan_->filesFound.load() : 0;
    setStatusText(tr("Scan cancelled at %1: %2 files found.", nullptr, found)
                      .arg(QString::fromStdString(progress_.Texts().percentage),
                           QString::fromStdString(FormatWithSeparators(found, context_.thousandsSeparator))));
  } else {
    context_.scanState.store(SCAN_DONE);
    completionReport();
  }
  controlPane_->transferTexts(progress_.Texts());
}

ProgressCounters CMainFrame::counters() const {
  const ScanCounters& scan = const_cast<CMainFrame*>(this)->scanCounters();
  ProgressCounters c;
  c.filesFound = scan.filesFound.load();
  c.readErrors = scan.readErrors.load();
  c.totalLength = scan.totalLength.load();
  c.position = scan.position.load();
  c.deviceSectors = static_cast<int64_t>(context_.ScannedSectors());
  // Unsigned 32-bit arithmetic: the tick counter's wrap-around is harmless.
  c.elapsedSeconds = (TickCountMs() - context_.scanStartTick) / 1000;
  return c;
}

void CMainFrame::progressTick(int64_t perMille) {
  controlPane_->setProgress(progress_.Tick(perMille, counters(), context_.thousandsSeparator));
}

void CMainFrame::foundFile(std::unique_ptr<FoundFile> file) {
  if (!file) return;
  if (IsPictureType(file->type) || IsRawType(file->type)) previewPacer_->pictureFound(scan_->ScannedHandle(), *file);
  storage_.AddFoundFile(*file);
}

void CMainFrame::completionReport() {
  previewPacer_->flush();
  const int found = scan_ ? scan_->filesFound.load() : 0;
  // The final figures are on screen before the report is read: the whole
  // device done, nothing remaining.
  progress_.ShowCounters(counters(), context_.thousandsSeparator);
  const bool lost = lastResult_.end == ScanEnd::kDeviceLost;
  if (!lost) {
    progress_.Complete();
    controlPane_->setProgress(1000);
  }
  progress_.Ended();
  controlPane_->transferTexts(progress_.Texts());
  if (lost) {
    // Decimal megabytes, as every size in the window.
    const QString where = QString::fromStdString(FormatWithSeparators(
        static_cast<int64_t>(lastResult_.lostSector * 512 / 1000000), context_.thousandsSeparator));
    // What was found before the loss stays listed and can be recovered.
    message(QMessageBox::Warning, Text(IDS_DEVICE_LOST).replace(QLatin1String("%s"), where));
    EndScan();
    return;
  }
  setStatusText(tr("Scan completed: %1 files found.", nullptr, found)
                    .arg(QString::fromStdString(FormatWithSeparators(found, context_.thousandsSeparator))));
  if (found < 1) {
    message(QMessageBox::Critical, Text(IDS_NO_FILES_FOUND));
  } else {
    // The count and its noun as one text, so a translation can decline the noun.
    const QString count = tr("%1 files found", nullptr, found)
                              .arg(QString::fromStdString(FormatWithSeparators(found, context_.thousandsSeparator)));
    QString text = QStringLiteral("%1\n%2\n%3").arg(Text(IDS_SCAN_COMPLETED), count, Text(IDS_SELECT_HINT));
    message(QMessageBox::Information, text);
  }
  EndScan();
}

void CMainFrame::EndScan() {
  previewPacer_->flush();
  unrecovered_ = scan_ && scan_->filesFound.load() > 0;
  if (refreshAfterScan_) QMetaObject::invokeMethod(this, &CMainFrame::refreshDevices, Qt::QueuedConnection);
  folderPane_->setLabelsDeferred(false);
  setCommandEnable(0, true);
  setCommandEnable(1, scan_ && scan_->filesFound.load() > 0);
  setCommandEnable(2, false);
  EnableScanControls(true);
  QTreeWidget* tree = folderPane_->tree();
  QTreeWidgetItem* selected = tree->currentItem();
  const YearRecord* unsorted = storage_.Unsorted();
  auto* unsortedItem = unsorted ? static_cast<QTreeWidgetItem*>(unsorted->item) : nullptr;
  if (unsortedItem && unsorted->count == 0 && tree->topLevelItemCount() > 1) {
    // An empty "unsorted" has nothing to show; the first year is chosen instead.
    unsortedItem->setHidden(true);
    if (selected == unsortedItem) tree->setCurrentItem(tree->topLevelItem(0));
  } else if (selected && selected == unsortedItem) {
    // During the scan "unsorted" listed nothing; now it lists its files.
    RefreshList(selected, false);
  } else if (context_.displayFlags == 1 && selected && !view_->thumbnailMode() &&
             FolderViewPane::DataOf(selected).kind == NODE_FILES) {
    // A files folder selected during the scan was listed with small icons;
    // with "Show thumbnails" on it now shows its pictures.
    RefreshList(selected, false);
  }
  progress_.Ended();
}

}  // namespace lumicarve
