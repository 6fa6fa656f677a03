// The main window. It owns the AppContext, the running scan and the results, lays out the two
// docking panes and the file list, routes every command, starts and cancels
// scans, receives the scan's reports through a ScanRelay, and refuses to close
// while a scan runs.
#pragma once

#include <QMainWindow>
#include <QMessageBox>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "devices/disk_enum.h"
#include "results/results_storage.h"
#include "scan/scan_context.h"
#include "shell/app_context.h"
#include "shell/scan_relay.h"
#include "shell/progress_display.h"

class QDockWidget;
class QLabel;
class QTreeWidgetItem;

namespace lumicarve {

class CLumicarveView;
class ControlPane;
class DeviceEnumerator;
class DeviceWatch;
class DiskAccess;
class FolderViewPane;
class PanePreviewPacer;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // What the control toolbar's buttons and the menu commands ask of the window.
  enum ControlRequest { kStartScan = 0, kRecoverFiles = 1, kCancelScan = 2 };

  CMainFrame();
  ~CMainFrame() override;

  // Lists the disks (on worker threads: the list fills as each disk is
  // described) and from then on follows disks as they come and go.
  void initialiseDevices();
  // Adds a disk image (or a device by path) and selects it. On failure tells
  // the user why and returns false.
  bool openDiskImage(const QString& path);

  // The scan's reports, on the window's thread, in the order they happened.
  void scanProgress(int perMille);
  void scanFileFound(std::unique_ptr<FoundFile> file);
  void scanFinished(const ScanResult& result);

  // Carries out a control request (a ControlRequest code); any other code does
  // nothing.
  void controlRequest(int code);
  // "Recover files" (selectedOnly false) or "Recover selected files".
  void recoverFiles(bool selectedOnly);
  // File > Options: edits the template, the types and the minimum size.
  void showOptions();
  void StartScan();
  void CancelScan();
  void EndScan();
  void EnableScanControls(bool enabled);
  void ClearResults();
  void OpenListEntry(int index);
  // Fills the file list with the files of the tree's `item` (null: the
  // selected item); `appendOnly` adds to what the list shows.
  void RefreshList(QTreeWidgetItem* item, bool appendOnly);
  void setCommandEnable(int index, bool value);
  // Brings the menu's enable states and check marks in line with the flags.
  void updateCommandUi();

  AppContext& context() { return context_; }
  // The counters of the running or last scan (zeros before the first).
  ScanCounters& scanCounters() { return scan_ ? static_cast<ScanCounters&>(*scan_) : idleCounters_; }
  const ScanResult& lastScanResult() const { return lastResult_; }
  ResultsStorage& storage() { return storage_; }
  ControlPane* controlPane() const { return controlPane_; }
  FolderViewPane* folderPane() const { return folderPane_; }
  CLumicarveView* view() const { return view_; }
  PanePreviewPacer* previewPacer() const { return previewPacer_; }
  QDockWidget* controlDock() const { return controlDock_; }
  QDockWidget* folderDock() const { return folderDock_; }
  DiskAccess* diskAccess() const { return access_; }
  DeviceEnumerator* deviceEnumerator() const { return enumerator_; }
  QAction* action(const char* name) const;
  // Joins a scan thread that has reported its end; a scan still running is
  // cancelled first (the scan never waits for this thread, so this is short).
  void waitForScanThread();

  // Brings the device list in line with the disks present now (View >
  // Refresh, and whatever notices a disk come or go). The device whose
  // results are shown stays. Does nothing while a scan runs; asked while
  // the disks are being listed, it lists them once more afterwards.
  void refreshDevices();
  // Found files not yet recovered: asks before they are thrown away. True
  // when there are none or the user agrees.
  bool confirmDiscard();
  // The text of the status bar's lasting message.
  QString statusText() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void createActions();
  void createMenus();
  // A device chosen in the list: the shown results go (after asking).
  // False keeps the previous choice.
  bool deviceChosen(int index);
  // The window title names the disk the results come from (-1: none).
  void showResultsSource(int deviceIndex);
  void setStatusText(const QString& text);
  // What the list says when it is empty after showing a folder of `kind`.
  QString emptyListHint(int kind) const;
  void createPanes();
  void togglePane(QDockWidget* dock);
  void handleReport(ScanRelay::Report& report);
  ProgressCounters counters() const;
  void progressTick(int64_t perMille);
  void foundFile(std::unique_ptr<FoundFile> file);
  void completionReport();
  void showDeniedDisks();
  // The enumerator's reports: disks gone, a disk described, the end.
  void devicesListed(const std::vector<BlockDisk>& present);
  void deviceDescribed(const std::optional<DeviceEntry>& entry, bool denied);
  void enumerationFinished();
  // A disk listed without a handle now has one: its new label, and the scan
  // that was waiting for it.
  void deviceOpened(int index, bool thenScan);
  void openDiskImageDialog();
  void showAbout();
  int message(QMessageBox::Icon icon, const QString& text);

  AppContext context_;
  // The last scan: its job, counters and end, kept for the texts after it.
  std::unique_ptr<ScanContext> scan_;
  ScanRelay* relay_ = nullptr;
  ScanResult lastResult_;
  ScanCounters idleCounters_;
  ResultsStorage storage_;
  ProgressDisplay progress_;
  ControlPane* controlPane_ = nullptr;
  FolderViewPane* folderPane_ = nullptr;
  CLumicarveView* view_ = nullptr;
  PanePreviewPacer* previewPacer_ = nullptr;
  DiskAccess* access_ = nullptr;
  DeviceWatch* watch_ = nullptr;
  DeviceEnumerator* enumerator_ = nullptr;
  // Where the disks the running enumeration describes go in the table.
  int newDisksFrom_ = 0;
  bool refreshAgain_ = false;
  QDockWidget* controlDock_ = nullptr;
  QDockWidget* folderDock_ = nullptr;
  std::thread scanThread_;
  // The tree item whose contents the list shows.
  QTreeWidgetItem* listed_ = nullptr;
  // Files were found and no recovery has completed since.
  bool unrecovered_ = false;
  QLabel* statusText_ = nullptr;
  // The status text about disks that could not be opened, while shown.
  QString deniedText_;
  int deniedAsks_ = 0;  // showDeniedDisks calls, so a late answer for an older count is dropped
  bool refreshAfterScan_ = false;
};

}  // namespace lumicarve
