// Whole scans of disk images through the window: the found files filed under
// their capture dates, the completion report, cancel, and close refused.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "controls/transparent_static.h"
#include "controls/tri_check_tree.h"
#include "shell/control_pane.h"
#include "results/ui/folder_view_pane.h"
#include "results/ui/lumicarve_view.h"
#include "shell/command_button_strip.h"
#include "shell/main_frame.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

QStringList TopLevelLabels(QTreeWidget* tree) {
  QStringList labels;
  for (int i = 0; i < tree->topLevelItemCount(); ++i) labels << tree->topLevelItem(i)->text(0);
  return labels;
}

bool ScanIdle(CMainFrame& frame) {
  return frame.context().scanState.load() != SCAN_RUNNING && frame.context().commandEnable[0];
}

}  // namespace

class ScanWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    card_ = dir_.filePath(QStringLiteral("card.img"));
    QVERIFY(MakeCardImage(card_, SampleCardFiles()));
  }

  void aScanFilesEveryPictureUnderItsCaptureDate() {
    CMainFrame frame;
    frame.context().thousandsSeparator = ',';
    frame.show();
    QVERIFY(frame.openDiskImage(card_));
    MessageBoxWatcher boxes;
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(ScanIdle(frame) && !boxes.texts.isEmpty(), 30000);

    QCOMPARE(boxes.texts, QStringList(QStringLiteral(
                              "Scan completed.\n7 files found\nSelect folders or files and press "
                              "the 'Recover files' button to save the files.")));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Information);
    QTreeWidget* tree = frame.folderPane()->tree();
    QCOMPARE(TopLevelLabels(tree),
             (QStringList{"2002 (1)", "2008 (1)", "2011 (1)", "2019 (1)", "unsorted (3)"}));
    QTreeWidgetItem* june = tree->topLevelItem(1)->child(0);
    QCOMPARE(june->text(0), QStringLiteral("June (1)"));
    QCOMPARE(june->child(0)->text(0), QStringLiteral("21 (1)"));
    QCOMPARE(tree->topLevelItem(4)->child(0)->text(0), QStringLiteral("1 (3)"));

    // The list shows the selected day's file, its size rounded up to KB.
    tree->setCurrentItem(june->child(0));
    QCOMPARE(frame.view()->count(), 1);
    QCOMPARE(frame.view()->item(0)->text(), QStringLiteral("00000003.JPG (125 KB)"));

    ControlPane* pane = frame.controlPane();
    QCOMPARE(pane->value(6)->text(), QStringLiteral("100 %"));
    QCOMPARE(pane->value(1)->text(), QStringLiteral("0:00:00"));
    QCOMPARE(pane->progressBar()->value(), 1000);
    QVERIFY(frame.context().commandEnable[0]);
    QVERIFY(frame.context().commandEnable[1]);
    QVERIFY(!frame.context().commandEnable[2]);
    QVERIFY(pane->thumbnailSwitch()->isEnabled());
    QCOMPARE(frame.context().displayFlags & 0x1000, 0);

  }

  // scripts/run --screenshot: the window after a scan of a 2 GB card that
  // holds the sample pictures six times over, one day's files listed.
  void screenshotOfACardOfRealisticSize() {
    if (!qEnvironmentVariableIsSet("LUMICARVE_SCREENSHOT")) QSKIP("only for scripts/run --screenshot");
    QStringList files;
    for (int i = 0; i < 6; ++i) files << SampleCardFiles();
    const QString card = dir_.filePath(QStringLiteral("2GB card.img"));
    QVERIFY(MakeCardImage(card, files, 3900000));
    CMainFrame frame;
    frame.resize(1100, 760);
    frame.show();
    QVERIFY(frame.openDiskImage(card));
    MessageBoxWatcher boxes;
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(ScanIdle(frame) && !boxes.texts.isEmpty(), 120000);
    frame.waitForScanThread();
    QTreeWidget* tree = frame.folderPane()->tree();
    tree->expandAll();
    tree->setCurrentItem(tree->topLevelItem(1)->child(0)->child(0));
    QTest::qWait(300);
    QVERIFY(frame.grab().save(qEnvironmentVariable("LUMICARVE_SCREENSHOT")));
  }

  void openingAMonthOrDayEntryOfTheListSelectsThatFolder() {
    CMainFrame frame;
    frame.show();
    QVERIFY(frame.openDiskImage(card_));
    MessageBoxWatcher boxes;
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(ScanIdle(frame) && !boxes.texts.isEmpty(), 30000);
    QTreeWidget* tree = frame.folderPane()->tree();
    QTreeWidgetItem* year = tree->topLevelItem(1);
    tree->setCurrentItem(year);
    QCOMPARE(frame.view()->count(), 1);
    QCOMPARE(frame.view()->item(0)->text(), QStringLiteral("June"));
    frame.OpenListEntry(0);
    QCOMPARE(tree->currentItem(), year->child(0));
    QCOMPARE(frame.view()->item(0)->text(), QStringLiteral("21"));
    frame.OpenListEntry(0);
    QCOMPARE(tree->currentItem(), year->child(0)->child(0));
    QCOMPARE(frame.view()->item(0)->text(), QStringLiteral("00000003.JPG (125 KB)"));
    // After the scan "unsorted" lists the files of its one group.
    tree->setCurrentItem(tree->topLevelItem(4));
    QCOMPARE(frame.view()->count(), 3);
  }

  void theViewMenuTogglesEachPaneWithItsCheckMark() {
    CMainFrame frame;
    frame.show();
    QAction* control = frame.action("toggleControlToolbar");
    frame.updateCommandUi();
    QVERIFY(control->isChecked());
    control->trigger();
    QVERIFY(frame.controlDock()->isHidden());
    QVERIFY(!control->isChecked());
    control->trigger();
    QVERIFY(!frame.controlDock()->isHidden());
    QVERIFY(control->isChecked());
    QCOMPARE(frame.dockWidgetArea(frame.controlDock()), Qt::LeftDockWidgetArea);
    QCOMPARE(frame.dockWidgetArea(frame.folderDock()), Qt::LeftDockWidgetArea);
    // Each its own column, the control pane outermost.
    QVERIFY(frame.controlDock()->geometry().right() < frame.folderDock()->geometry().left());
  }

  void theMenuFollowsTheCommandFlagsThroughAScan() {
    CMainFrame frame;
    frame.show();
    QVERIFY(frame.openDiskImage(card_));
    QVERIFY(frame.action("searchFiles")->isEnabled());
    QVERIFY(!frame.action("recoverFiles")->isEnabled());
    bool checkedDuringScan = false;
    // Inside the found-file handler the scan thread waits: the flags are
    // those of a running scan.
    connect(frame.folderPane()->tree()->model(), &QAbstractItemModel::rowsInserted, &frame, [&] {
      if (checkedDuringScan || frame.context().scanState.load() != SCAN_RUNNING) return;
      checkedDuringScan = true;
      frame.updateCommandUi();
      QVERIFY(!frame.action("searchFiles")->isEnabled());
      QVERIFY(!frame.action("recoverFiles")->isEnabled());
      QVERIFY(frame.context().commandEnable[2]);
      // The device list cannot change under the scan.
      QVERIFY(!frame.action("openDiskImage")->isEnabled());
      QVERIFY(!frame.controlPane()->deviceSelector()->isEnabled());
      const int devices = frame.context().deviceCount;
      QVERIFY(!frame.openDiskImage(card_));
      QCOMPARE(frame.context().deviceCount, devices);
      // A disabled menu item does nothing when triggered.
      frame.action("searchFiles")->trigger();
    });
    MessageBoxWatcher boxes;
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(ScanIdle(frame) && !boxes.texts.isEmpty(), 30000);
    QVERIFY(checkedDuringScan);
    QCOMPARE(boxes.texts.size(), 1);
    frame.updateCommandUi();
    QVERIFY(frame.action("searchFiles")->isEnabled());
    QVERIFY(frame.action("recoverFiles")->isEnabled());
    QVERIFY(frame.action("openDiskImage")->isEnabled());
    QVERIFY(frame.controlPane()->deviceSelector()->isEnabled());
  }

  void aScanThatFindsNothingSaysSoAndLeavesRecoverOff() {
    QString empty = dir_.filePath(QStringLiteral("empty.img"));
    QVERIFY(MakeCardImage(empty, {}, 4096));
    CMainFrame frame;
    frame.show();
    QVERIFY(frame.openDiskImage(empty));
    MessageBoxWatcher boxes;
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(ScanIdle(frame) && !boxes.texts.isEmpty(), 30000);
    QCOMPARE(boxes.texts, QStringList(QStringLiteral("No files found")));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Critical);
    QVERIFY(frame.context().commandEnable[0]);
    QVERIFY(!frame.context().commandEnable[1]);
    // Every scan starts with the single root "unsorted".
    QCOMPARE(TopLevelLabels(frame.folderPane()->tree()), QStringList(QStringLiteral("unsorted")));
  }

  void cancelMidScanResetsTheButtonsWithoutABoxAndKeepsThePercentage() {
    CMainFrame frame;
    frame.show();
    QVERIFY(frame.openDiskImage(card_));
    ControlPane* pane = frame.controlPane();
    QString percentageAtCancel;
    connect(frame.folderPane()->tree()->model(), &QAbstractItemModel::rowsInserted, &frame, [&] {
      if (frame.context().scanState.load() != SCAN_RUNNING) return;
      // A progress tick first, so there is a percentage to keep.
      frame.scanProgress(120);
      percentageAtCancel = pane->value(6)->text();
      frame.controlRequest(CMainFrame::kCancelScan);
    });
    MessageBoxWatcher boxes;
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(ScanIdle(frame), 30000);
    frame.waitForScanThread();
    QVERIFY(boxes.texts.isEmpty());
    QCOMPARE(frame.context().scanState.load(), int(SCAN_CANCEL));
    QCOMPARE(percentageAtCancel, QStringLiteral("12.0 %"));
    QCOMPARE(pane->value(6)->text(), percentageAtCancel);
    QCOMPARE(pane->progressBar()->value(), 120);
    QCOMPARE(pane->value(1)->text(), QStringLiteral("0:00:00"));
    QVERIFY(!frame.context().commandEnable[2]);
    QVERIFY(pane->thumbnailSwitch()->isEnabled());
  }

  void closingDuringAScanIsRefusedAndWorksAfterCancel() {
    CMainFrame frame;
    frame.show();
    QVERIFY(frame.openDiskImage(card_));
    bool refused = false;
    MessageBoxWatcher boxes;
    connect(frame.folderPane()->tree()->model(), &QAbstractItemModel::rowsInserted, &frame, [&] {
      if (refused || frame.context().scanState.load() != SCAN_RUNNING) return;
      refused = !frame.close();
      frame.CancelScan();
    });
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(ScanIdle(frame), 30000);
    QVERIFY(refused);
    QCOMPARE(boxes.texts, QStringList(QStringLiteral(
                              "File recovery in progress.\nPlease cancel before closing the "
                              "application.")));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Critical);
    // What the cancelled scan found goes only when the user agrees.
    boxes.answer = QMessageBox::Cancel;
    QVERIFY(!frame.close());
    QCOMPARE(boxes.texts.size(), 2);
    QVERIFY(boxes.texts.at(1).endsWith(QStringLiteral("found files have not been recovered and will be discarded.")));
    boxes.answer = QMessageBox::Discard;
    QVERIFY(frame.close());
  }

  void startingWithNoDeviceTellsTheUserAndStartsNothing() {
    CMainFrame frame;
    frame.show();
    MessageBoxWatcher boxes;
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_COMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts.at(0).startsWith(QStringLiteral("No disk to scan.")));
    QCOMPARE(frame.context().scanState.load(), int(SCAN_IDLE));
    QVERIFY(frame.context().commandEnable[0]);
    QVERIFY(frame.controlPane()->thumbnailSwitch()->isEnabled());
  }

  void aFileArgumentThatCannotBeOpenedIsReportedWithItsReason() {
    CMainFrame frame;
    MessageBoxWatcher boxes;
    QVERIFY(!frame.openDiskImage(dir_.filePath(QStringLiteral("missing.img"))));
    QTRY_COMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts.at(0).startsWith(QStringLiteral("Cannot open the disk image: cannot open")));
    QCOMPARE(frame.controlPane()->deviceSelector()->count(), 0);
  }

 private:
  QTemporaryDir dir_;
  QString card_;
};

LUMICARVE_UI_TEST_MAIN(ScanWindowTest)
#include "scan_window_test.moc"
