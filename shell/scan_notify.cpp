// The window's side of the scan thread's notifications: the progress
// display, the found files, the result at the end, and the reset after it.
#include <QCoreApplication>
#include <QThread>

#include <unistd.h>

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

void CMainFrame::ScanNotify(int code, int64_t arg, std::unique_ptr<FoundFile> file) {
  if (QThread::currentThread() == thread()) {
    handleScanNotify(code, arg, std::move(file));
    return;
  }
  // The scan thread waits here until the handler has run, so a message box
  // shown by the handler holds the scan as well.
  FoundFile* raw = file.release();
  QMetaObject::invokeMethod(
      this, [this, code, arg, raw] { handleScanNotify(code, arg, std::unique_ptr<FoundFile>(raw)); },
      Qt::BlockingQueuedConnection);
}

void CMainFrame::handleScanNotify(int code, int64_t arg, std::unique_ptr<FoundFile> file) {
  switch (context_.scanState.load()) {
    case SCAN_RUNNING:
      if (code == kNotifyProgress)
        progressTick(arg);
      else if (code == kNotifyFoundFile)
        foundFile(std::move(file));
      else if (code == kNotifyThumbnails && view_->workerRunning())
        // A worker running beside the scan is stopped; a new one starts
        // only where thumbnails are allowed, and never while a scan runs.
        view_->StopThumbnails();
      break;
    case SCAN_CANCEL:
      progress_.ShowCounters(counters(), context_.thousandsSeparator);
      EndScan();
      controlPane_->setProgressCaption(tr("Progress: cancelled"));
      setStatusText(tr("Scan cancelled at %1: %2 files found.")
                        .arg(QString::fromStdString(progress_.Texts().percentage),
                             QString::fromStdString(FormatWithSeparators(
                                 context_.filesFound.load(), context_.thousandsSeparator))));
      break;
    case SCAN_DONE:
      if (code == kNotifyProgress) completionReport();
      break;
    default:
      break;
  }
  controlPane_->transferTexts(progress_.Texts());
}

ProgressCounters CMainFrame::counters() const {
  ProgressCounters c;
  c.filesFound = context_.filesFound.load();
  c.readErrors = context_.readErrors.load();
  c.totalLength = context_.totalLength.load();
  c.position = context_.position.load();
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
  // The pacer writes a JPEG's capture date into the record, so it runs
  // before the record is filed under that date.
  if (context_.previewTempFd != -1) {
    previewPacer_->pictureFound(context_.previewTempPath, *file);
    ::unlink(context_.previewTempPath);
    context_.previewTempFd = -1;
  }
  storage_.AddFoundFile(*file);
}

void CMainFrame::completionReport() {
  previewPacer_->flush();
  int found = context_.filesFound.load();
  // The final figures are on screen before the report is read: the whole
  // device done, nothing remaining.
  progress_.ShowCounters(counters(), context_.thousandsSeparator);
  const bool lost = context_.deviceLostError.load() != 0;
  if (!lost) {
    progress_.Complete();
    controlPane_->setProgress(1000);
  }
  progress_.Ended();
  controlPane_->transferTexts(progress_.Texts());
  if (lost) {
    // Decimal megabytes, as every size in the window.
    const QString where = QString::fromStdString(FormatWithSeparators(
        context_.deviceLostSector.load() * 512 / 1000000, context_.thousandsSeparator));
    // What was found before the loss stays listed and can be recovered.
    message(QMessageBox::Warning, Text(IDS_DEVICE_LOST).replace(QLatin1String("%s"), where));
    EndScan();
    return;
  }
  setStatusText(tr("Scan completed: %1 files found.")
                    .arg(QString::fromStdString(FormatWithSeparators(found, context_.thousandsSeparator))));
  if (found < 1) {
    message(QMessageBox::Critical, Text(IDS_NO_FILES_FOUND));
  } else {
    QString text = QStringLiteral("%1\n%2 %3\n%4")
                       .arg(Text(IDS_SCAN_COMPLETED),
                            QString::fromStdString(
                                FormatWithSeparators(found, context_.thousandsSeparator)),
                            Text(IDS_FILES_FOUND), Text(IDS_SELECT_HINT));
    message(QMessageBox::Information, text);
  }
  EndScan();
}

void CMainFrame::EndScan() {
  previewPacer_->flush();
  // The scan thread closes the temp file before it reports a file; closing
  // the number again could close another file that now has it.
  if (context_.previewTempFd != -1) {
    ::unlink(context_.previewTempPath);
    context_.previewTempFd = -1;
  }
  unrecovered_ = context_.filesFound.load() > 0;
  if (refreshAfterScan_) QMetaObject::invokeMethod(this, &CMainFrame::refreshDevices, Qt::QueuedConnection);
  setCommandEnable(0, true);
  setCommandEnable(1, context_.filesFound.load() > 0);
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
