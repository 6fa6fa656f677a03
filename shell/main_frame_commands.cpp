// The main frame's commands: one action per command behind the menu, the
// shortcuts and the big buttons; the device list's refresh; the question
// before found files are thrown away; the title and the status bar.
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

#include <unistd.h>

#include "shell/control_pane.h"
#include "devices/device_list.h"
#include "results/ui/folder_view_pane.h"
#include "shell/application.h"
#include "shell/command_button_strip.h"
#include "shell/control_pane.h"
#include "shell/device_enumerator.h"
#include "shell/disk_access.h"
#include "shell/main_frame.h"
#include "shell/settings.h"
#include "text/string_table.h"
#include "text/text_format.h"
#include "results/ui/lumicarve_view.h"
#include "shell/window_strings.h"

namespace lumicarve {

void CMainFrame::createActions() {
  auto make = [this](const QString& text, const char* name, const QKeySequence& key, auto handler) {
    auto* a = new QAction(text, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    connect(a, &QAction::triggered, this, handler);
    // Held by the window as well, so the shortcuts work with the menu bar
    // hidden and from every pane.
    addAction(a);
    return a;
  };
  make(Text(IDS_SEARCH_FILES), "searchFiles", QKeySequence(Qt::Key_F5), [this] {
    if (context_.commandEnable[0] && confirmDiscard()) controlRequest(kStartScan);
  });
  make(Text(IDS_RECOVER_FILES), "recoverFiles", QKeySequence::Save, [this] {
    if (context_.commandEnable[1]) controlRequest(kRecoverFiles);
  });
  make(Text(IDS_CANCEL), "cancelScan", QKeySequence(Qt::Key_Escape), [this] {
    if (context_.commandEnable[2]) controlRequest(kCancelScan);
  });
  make(tr("&Open disk image..."), "openDiskImage", QKeySequence::Open, &CMainFrame::openDiskImageDialog);
  make(tr("Op&tions..."), "options", QKeySequence(), &CMainFrame::showOptions);
  make(tr("E&xit"), "exit", QKeySequence::Quit, &QWidget::close);
  make(tr("&Control toolbar"), "toggleControlToolbar", QKeySequence(),
       [this] { togglePane(controlDock_); })
      ->setCheckable(true);
  make(tr("&Folder view"), "toggleFolderView", QKeySequence(), [this] { togglePane(folderDock_); })
      ->setCheckable(true);
  // Names the card's file system still knows label the list; unchecked,
  // the list shows the numbered names the files are saved under.
  QAction* originalNames = make(tr("&Original file names"), "originalNames", QKeySequence(),
                                [this] { view_->setOriginalNames(action("originalNames")->isChecked()); });
  originalNames->setCheckable(true);
  originalNames->setChecked(true);
  make(tr("&Deleted files only"), "deletedOnly", QKeySequence(),
       [this] { view_->setDeletedOnly(action("deletedOnly")->isChecked()); })
      ->setCheckable(true);
  make(tr("&Refresh"), "refreshDevices", QKeySequence(Qt::CTRL | Qt::Key_R), &CMainFrame::refreshDevices);
  make(tr("&Manual"), "manual", QKeySequence::HelpContents, [this] { OpenManual(this); });
  make(tr("&About Lumicarve..."), "about", QKeySequence(), &CMainFrame::showAbout);

  statusText_ = new QLabel(this);
  statusText_->setObjectName(QStringLiteral("statusText"));
  // A widget of the status bar, not a passing message: hovering a menu
  // item shows its tip for a moment, and the text comes back afterwards.
  statusBar()->addWidget(statusText_, 1);
}

void CMainFrame::createMenus() {
  auto add = [this](QMenu* menu, const char* name) { menu->addAction(action(name)); };
  QMenu* file = menuBar()->addMenu(tr("&File"));
  add(file, "searchFiles");
  add(file, "recoverFiles");
  add(file, "cancelScan");
  file->addSeparator();
  add(file, "openDiskImage");
  add(file, "options");
  file->addSeparator();
  add(file, "exit");
  QMenu* view = menuBar()->addMenu(tr("&View"));
  add(view, "toggleControlToolbar");
  add(view, "toggleFolderView");
  view->addSeparator();
  add(view, "originalNames");
  add(view, "deletedOnly");
  view->addSeparator();
  add(view, "refreshDevices");
  connect(view, &QMenu::aboutToShow, this, &CMainFrame::updateCommandUi);
  QMenu* help = menuBar()->addMenu(tr("&Help"));
  add(help, "manual");
  add(help, "about");
  updateCommandUi();
}

QAction* CMainFrame::action(const char* name) const {
  return findChild<QAction*>(QString::fromLatin1(name));
}

void CMainFrame::updateCommandUi() {
  const bool scanning = context_.commandEnable[2] != 0;
  action("searchFiles")->setEnabled(context_.commandEnable[0]);
  action("recoverFiles")->setEnabled(context_.commandEnable[1]);
  action("cancelScan")->setEnabled(context_.commandEnable[2]);
  // A scan reads the device table and the settings as they are.
  for (const char* name : {"openDiskImage", "options", "refreshDevices"}) action(name)->setEnabled(!scanning);
  controlPane_->deviceSelector()->setEnabled(!scanning);
  if (controlDock_) {
    action("toggleControlToolbar")->setChecked(!controlDock_->isHidden());
    action("toggleFolderView")->setChecked(!folderDock_->isHidden());
  }
}

void CMainFrame::setCommandEnable(int index, bool value) {
  controlPane_->strip()->setCommandEnable(index, value);
  updateCommandUi();
}

void CMainFrame::togglePane(QDockWidget* dock) {
  dock->setVisible(dock->isHidden());
  updateCommandUi();
}

void CMainFrame::showDeniedDisks() {
  const int denied = context_.devicesDenied;
  const int asked = ++deniedAsks_;  // an answer for an older count is dropped
  auto show = [this](const QString& text) {
    if (text.isEmpty() && statusText() == deniedText_) setStatusText(QString());
    deniedText_ = text;
    if (!text.isEmpty()) setStatusText(text);
  };
  if (denied <= 0) return show(QString());
  // Root is refused for other reasons (a disk held exclusively, say): asking
  // for permission would not help.
  if (::geteuid() == 0) return show(tr("%n disk(s) could not be opened.", nullptr, denied));
  // Whether the user can be offered the system's permission prompt: the bus
  // is asked without holding the window.
  DiskAccess::probeService(this, [this, asked, denied, show](bool available) {
    if (asked != deniedAsks_) return;
    QString text = available ? Text(denied == 1 ? IDS_DISK_DENIED : IDS_DISKS_DENIED)
                             : Text(denied == 1 ? IDS_DISK_DENIED_NO_SERVICE : IDS_DISKS_DENIED_NO_SERVICE);
    show(text.replace(QLatin1String("%d"), QString::number(denied)));
  });
}

void CMainFrame::setStatusText(const QString& text) {
  if (statusText_) statusText_->setText(text);
}

QString CMainFrame::statusText() const { return statusText_ ? statusText_->text() : QString(); }

void CMainFrame::refreshDevices() {
  // The table is the scan's: a change seen meanwhile is looked at after it.
  if (context_.scanState.load() == SCAN_RUNNING) {
    refreshAfterScan_ = true;
    return;
  }
  refreshAfterScan_ = false;
  if (enumerator_->running()) {
    refreshAgain_ = true;
    return;
  }
  std::vector<std::string> known;
  for (int i = 0; i < context_.deviceCount; ++i) known.emplace_back(context_.devices[i].path);
  enumerator_->start(std::move(known));
}

bool CMainFrame::confirmDiscard() {
  if (!unrecovered_) return true;
  const int32_t found = scan_ ? scan_->filesFound.load() : 0;
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kApplication),
                  tr("%1 found files have not been recovered and will be discarded.", nullptr, found)
                      .arg(QString::fromStdString(FormatWithSeparators(found, context_.thousandsSeparator))),
                  QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setInformativeText(tr("Recover them first with \"Recover files\", or discard them."));
  box.setDefaultButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() != box.button(QMessageBox::Discard)) return false;
  unrecovered_ = false;
  return true;
}

bool CMainFrame::deviceChosen(int index) {
  // Results stay on screen only for the disk they came from.
  if (!storage_.Unsorted() || index == context_.scannedDeviceIndex) return true;
  if (!confirmDiscard()) return false;
  ClearResults();
  showResultsSource(-1);
  controlPane_->setProgressCaption(QString());
  setCommandEnable(1, false);
  return true;
}

void CMainFrame::showResultsSource(int deviceIndex) {
  const QString app = QString::fromLatin1(kApplication);
  if (deviceIndex < 0 || deviceIndex >= context_.deviceCount) {
    setWindowTitle(app);
    return;
  }
  setWindowTitle(tr("%1 - %2").arg(DeviceLabelText(context_.devices[deviceIndex]), app));
}

}  // namespace lumicarve
