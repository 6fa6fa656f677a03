#include "shell/main_frame.h"

#include <QAction>
#include <QComboBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QLocale>
#include <QMenuBar>
#include <QStatusBar>
#include <QThread>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "controls/tri_check_tree.h"
#include "shell/control_pane.h"
#include "devices/device_list.h"
#include "filesystem/file_system_pass.h"
#include "results/ui/file_preview_dialog.h"
#include "results/ui/folder_view_pane.h"
#include "results/ui/lumicarve_view.h"
#include "results/ui/pane_preview.h"
#include "scan/scan_loop.h"
#include "shell/about_box.h"
#include "shell/application.h"
#include "shell/command_button_strip.h"
#include "shell/device_enumerator.h"
#include "shell/device_watch.h"
#include "shell/disk_access.h"
#include "shell/icons.h"
#include "shell/options_dialog.h"
#include "shell/recovery_flow.h"
#include "shell/settings.h"
#include "text/string_table.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

// The first character of the window locale's group separator; none when the
// locale writes numbers without one (the C locale). A separator outside ASCII
// (a narrow no-break space, say) cannot be one byte and shows as a plain space.
char LocaleThousandsSeparator() {
  const QLocale locale;
  const QString sep = locale.groupSeparator();
  if (sep.isEmpty() || (locale.numberOptions() & QLocale::OmitGroupSeparator)) return '\0';
  return sep.at(0).unicode() < 0x80 ? static_cast<char>(sep.at(0).unicode()) : ' ';
}

}  // namespace

CMainFrame::CMainFrame() {
  setWindowTitle(QString::fromLatin1(kApplication));
  setWindowIcon(ApplicationIcon());
  LoadSettings(context_);
  context_.scannedDeviceIndex = -1;
  std::setlocale(LC_ALL, "");
  context_.thousandsSeparator = LocaleThousandsSeparator();
  context_.typeSelection = kAllTypes;
  context_.activityFlags.store(0);

  view_ = new CLumicarveView(&context_, this);
  setCentralWidget(view_);
  connect(view_, &CLumicarveView::entryOpened, this, &CMainFrame::OpenListEntry);
  // The list's "Recover selected files" takes only the selected entries.
  connect(view_, &CLumicarveView::recoverRequested, this, [this] { recoverFiles(true); });
  createActions();
  createPanes();
  createMenus();
  view_->setEmptyHint(tr("Choose a device and press \"Search files\" (F5) to look for lost photos and videos."));
  resize(1000, 720);
  RestoreWindowLayout(*this);
}

CMainFrame::~CMainFrame() {
  // A scan still running (the window is going away without a close) is
  // cancelled and joined; it never waits for this thread.
  if (relay_) relay_->detach();
  waitForScanThread();
  ClearResults();
  SaveSettings(context_);
  SaveWindowLayout(*this);
}

void CMainFrame::createPanes() {
  setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);
  auto makeDock = [this](const QString& caption, const char* name, QWidget* content) {
    auto* dock = new QDockWidget(caption, this);
    dock->setObjectName(QString::fromLatin1(name));
    dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                      QDockWidget::DockWidgetFloatable);
    dock->setWidget(content);
    return dock;
  };
  controlPane_ = new ControlPane(&context_);
  previewPacer_ = new PanePreviewPacer(*controlPane_->previewBox(), context_, this);
  controlDock_ = makeDock(Text(IDS_CONTROL_TOOLBAR), "controlToolbar", controlPane_);
  folderPane_ = new FolderViewPane();
  folderDock_ = makeDock(tr("Folder View"), "folderView", folderPane_);
  addDockWidget(Qt::LeftDockWidgetArea, controlDock_);
  // Each pane its own column, the control pane outermost.
  splitDockWidget(controlDock_, folderDock_, Qt::Horizontal);
  resizeDocks({folderDock_}, {260}, Qt::Horizontal);

  // The big buttons are the same commands as the menu items and shortcuts.
  CommandButtonStrip* strip = controlPane_->strip();
  connect(strip, &CommandButtonStrip::controlRequest, this, [this](int code) {
    static const char* const kActions[] = {"searchFiles", "recoverFiles", "cancelScan"};
    if (code >= 0 && code < 3) action(kActions[code])->trigger();
  });
  controlPane_->setDeviceChangeGuard([this](int index) { return deviceChosen(index); });
  connect(controlPane_, &ControlPane::listRefreshRequested, this,
          [this] { RefreshList(nullptr, false); });
  // The switches are settings: kept the moment they change.
  connect(controlPane_, &ControlPane::switchesChanged, this, [this] { SaveSettings(context_); });
  connect(folderPane_, &FolderViewPane::listRefresh, this, &CMainFrame::RefreshList);
  enumerator_ = new DeviceEnumerator(this);
  access_ = new DiskAccess(context_, *enumerator_, this);
  // Only the user's own choice asks for permission, not the start-up selection.
  connect(controlPane_->deviceSelector(), &QComboBox::activated, access_,
          [this](int index) { access_->request(index, false); });
  connect(access_, &DiskAccess::deviceOpened, this, &CMainFrame::deviceOpened);
  connect(enumerator_, &DeviceEnumerator::listed, this, &CMainFrame::devicesListed);
  connect(enumerator_, &DeviceEnumerator::described, this, &CMainFrame::deviceDescribed);
  connect(enumerator_, &DeviceEnumerator::finished, this, &CMainFrame::enumerationFinished);
  setCommandEnable(0, true);
  setCommandEnable(1, false);
  setCommandEnable(2, false);
}

void CMainFrame::initialiseDevices() {
  controlPane_->initialise();
  showDeniedDisks();
  // From now on the list follows disks as they come and go.
  watch_ = new DeviceWatch(this);
  connect(watch_, &DeviceWatch::devicesChanged, this, &CMainFrame::refreshDevices);
  refreshDevices();
}

void CMainFrame::deviceOpened(int index, bool thenScan) {
  controlPane_->deviceSelector()->setItemText(index, DeviceLabelText(context_.devices[index]));
  showDeniedDisks();
  if (thenScan && index == context_.selectedDeviceIndex && context_.commandEnable[0])
    controlRequest(kStartScan);
}

bool CMainFrame::openDiskImage(const QString& path) {
  if (context_.commandEnable[2] || context_.scanState.load() == SCAN_RUNNING) return false;
  // The image is chosen at once, which would discard the results shown.
  if (!confirmDiscard()) return false;
  Message error;
  int index = AddImageDevice(context_, path.toStdString(), &error);
  if (index < 0) {
    message(QMessageBox::Critical, Text(IDS_CANNOT_OPEN_IMAGE) + QLatin1Char(' ') + MessageText(error));
    return false;
  }
  controlPane_->AddDeviceItem(DeviceLabelText(context_.devices[index]));
  controlPane_->selectDevice(index);
  return true;
}

void CMainFrame::openDiskImageDialog() {
  QString path = QFileDialog::getOpenFileName(this, tr("Open disk image"));
  if (!path.isEmpty()) openDiskImage(path);
}

int CMainFrame::message(QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, QString::fromLatin1(kApplication), text, QMessageBox::Ok, this);
  return box.exec();
}

void CMainFrame::showAbout() {
  AboutBox box(this);
  box.exec();
}

void CMainFrame::controlRequest(int code) {
  switch (code) {
    case kStartScan:
      EnableScanControls(false);
      StartScan();
      break;
    case kRecoverFiles:
      recoverFiles(false);
      break;
    case kCancelScan:
      CancelScan();
      break;
    default:
      break;
  }
}

void CMainFrame::recoverFiles(bool selectedOnly) {
  if (!context_.commandEnable[1] || context_.scanState.load() == SCAN_RUNNING) return;
  if (RunRecoveryFlow(CollectRecoveryFiles(*folderPane_->tree(), *view_, selectedOnly, listed_),
                      context_, this))
    unrecovered_ = false;
}

void CMainFrame::showOptions() {
  OptionsDialog dialog(context_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  dialog.applyTo(context_);
  SaveSettings(context_);
}

void CMainFrame::StartScan() {
  // No tile of the old results lands in the list once the scan has begun.
  view_->StopThumbnails();
  int selected = context_.selectedDeviceIndex;
  if (selected >= 0 && selected < context_.deviceCount && context_.devices[selected].needsAccess) {
    // The scan starts once the system has given a descriptor for the disk.
    access_->request(selected, true);
    EnableScanControls(true);
    return;
  }
  if (context_.deviceCount == 0 || selected < 0 || selected >= context_.deviceCount ||
      context_.devices[selected].handle < 0) {
    message(QMessageBox::Warning, Text(IDS_NO_DEVICE));
    EnableScanControls(true);
    return;
  }
  waitForScanThread();
  unrecovered_ = false;
  storage_.CreateRoot(*folderPane_, context_.thousandsSeparator);
  folderPane_->setLabelsDeferred(true);
  view_->clear();
  context_.scanStartTick = TickCountMs();
  context_.activityFlags.store(kActivityScan);
  setCommandEnable(0, false);
  setCommandEnable(1, false);
  setCommandEnable(2, true);
  previewPacer_->drop();
  ClearPanePreview(*controlPane_->previewBox());
  controlPane_->setProgressCaption(QString());
  setStatusText(QString());
  showResultsSource(context_.selectedDeviceIndex);
  update();
  if (relay_) {
    relay_->detach();
    relay_->deleteLater();
  }
  context_.scannedDeviceIndex = selected;
  ScanJob job;
  job.handle = context_.devices[selected].handle;
  job.sectors = context_.devices[selected].totalSectors;
  job.types = context_.typeSelection;
  job.minimumBytes = uint64_t(uint32_t(context_.minimumSize)) * 1024;
  job.carveHints = MakeFileSystemPass;
  relay_ = new ScanRelay(job.handle, [this](ScanRelay::Report& r) { handleReport(r); }, this);
  scan_ = std::make_unique<ScanContext>(job, *relay_);
  relay_->watch(scan_.get());
  lastResult_ = ScanResult{};
  context_.scanState.store(SCAN_RUNNING);
  scanThread_ = StartScanThread(*scan_);
  updateCommandUi();
}

void CMainFrame::CancelScan() {
  context_.scanState.store(SCAN_CANCEL);
  if (scan_) scan_->Cancel();
}

void CMainFrame::waitForScanThread() {
  if (!scanThread_.joinable()) return;
  if (scan_) scan_->Cancel();
  scanThread_.join();
}

void CMainFrame::EnableScanControls(bool enabled) {
  controlPane_->setThumbnailSwitchEnabled(enabled);
  if (enabled) {
    if (context_.displayFlags >= 0x1000) context_.displayFlags -= 0x1000;
  } else {
    context_.displayFlags |= 0x1000;
  }
}

void CMainFrame::ClearResults() {
  listed_ = nullptr;
  unrecovered_ = false;
  view_->clear();
  view_->setEmptyHint(tr("Choose a device and press \"Search files\" (F5) to look for lost photos and videos."));
  storage_.Clear();
  folderPane_->DeleteAllItems();
}

void CMainFrame::RefreshList(QTreeWidgetItem* item, bool appendOnly) {
  QTreeWidget* tree = folderPane_->tree();
  if (!item) item = tree->currentItem();
  if (!item) item = tree->topLevelItem(0);
  if (!item) return;
  if (!appendOnly) listed_ = item;
  TreeItemData data = FolderViewPane::DataOf(item);
  if (data.kind == NODE_UNSORTED) {
    // Undated files are listed from "unsorted" itself once the scan is over:
    // its one group's files, or its groups when there are several.
    const YearRecord* unsorted = storage_.Unsorted();
    const bool scanning = context_.scanState.load() == SCAN_RUNNING;
    if (!unsorted || scanning)
      data.target = nullptr;
    else if (unsorted->firstGroup && !unsorted->firstGroup->next)
      data = {NODE_FILES, unsorted->firstGroup};
    else
      data.target = const_cast<YearRecord*>(unsorted);
  }
  view_->RefreshList(data, appendOnly);
  view_->setEmptyHint(view_->count() > 0 ? QString() : emptyListHint(data.kind));
}

QString CMainFrame::emptyListHint(int kind) const {
  if (kind == NODE_UNSORTED && context_.scanState.load() == SCAN_RUNNING)
    return tr("Files without a date are listed here when the scan is over.");
  if (kind == NODE_FILES || kind == NODE_UNSORTED) return tr("No files in this folder.");
  return tr("Select a folder in the Folder View to list its files.");
}

void CMainFrame::OpenListEntry(int index) {
  const ListEntry* entry = view_->item(index);
  QTreeWidgetItem* selected = folderPane_->tree()->currentItem();
  if (!entry || !selected) return;
  TreeItemData data = FolderViewPane::DataOf(selected);
  QString text = entry->text();
  if (data.kind == NODE_FILES || entry->file) {
    if (context_.scanState.load() == SCAN_RUNNING) {
      message(QMessageBox::Warning, Text(IDS_PREVIEW_WHILE_SCANNING));
    } else if (entry->file) {
      // Every file of the list, so the dialog can step to its neighbours.
      std::vector<FoundFile*> files;
      int shown = 0;
      for (int row = 0; row < view_->count(); ++row) {
        if (!view_->item(row)->file) continue;
        if (row == index) shown = static_cast<int>(files.size());
        files.push_back(view_->item(row)->file);
      }
      FilePreviewDialog dialog(&context_, std::move(files), shown, this);
      dialog.exec();
    }
    return;
  }
  for (int i = 0; i < selected->childCount(); ++i) {
    QTreeWidgetItem* child = selected->child(i);
    bool match = false;
    if (data.kind == NODE_MONTH || data.kind == NODE_UNSORTED)
      match = std::atoi(child->text(0).toLatin1().constData()) ==
              std::atoi(text.toLatin1().constData());
    else if (data.kind == NODE_YEAR)
      match = child->text(0).contains(text);
    if (match) {
      folderPane_->tree()->setCurrentItem(child);
      return;
    }
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (context_.scanState.load() == SCAN_RUNNING) {
    message(QMessageBox::Critical, Text(IDS_RECOVERY_IN_PROGRESS));
    event->ignore();
    return;
  }
  if (!confirmDiscard()) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace lumicarve
