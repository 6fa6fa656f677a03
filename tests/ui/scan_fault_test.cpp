// The window when the scanned device goes away mid-scan: a warning with the
// position instead of "Scan completed.", the files found before it kept and
// recoverable, and the buttons reset for the next scan.
#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include <cerrno>

#include "controls/tri_check_tree.h"
#include "results/ui/folder_view_pane.h"
#include "scan/sector_reader.h"
#include "shell/main_frame.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

class ScanFaultTest : public QObject {
  Q_OBJECT

 private slots:
  void aDeviceLostMidScanIsAWarningWithThePositionAndKeepsTheFiles() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString card = dir.filePath(QStringLiteral("card.img"));
    // The sample pictures, then 16 MB of empty card the reader never gets to.
    QVERIFY(MakeCardImage(card, SampleCardFiles()));
    {
      QFile f(card);
      QVERIFY(f.open(QIODevice::ReadWrite));
      QVERIFY(f.resize(f.size() + 16 * 1024 * 1024));
    }
    const uint64_t lostFrom = 16384;  // 8 MB: after every picture
    SetReadFaults({{lostFrom, ~uint64_t{0} - 1, ENODEV}});

    CMainFrame frame;
    frame.show();
    QVERIFY(frame.openDiskImage(card));
    MessageBoxWatcher boxes;
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(frame.context().scanState.load() != SCAN_RUNNING &&
                                 frame.context().commandEnable[0] && !boxes.texts.isEmpty(),
                             30000);
    frame.waitForScanThread();
    ClearReadFaults();

    const int64_t lostSector = static_cast<int64_t>(frame.lastScanResult().lostSector);
    QVERIFY(lostSector > 0 && lostSector <= int64_t(lostFrom));
    QCOMPARE(boxes.texts, QStringList(QStringLiteral("The device is no longer available. The scan was "
                                                     "stopped at %1 MB.")
                                          .arg(lostSector * 512 / 1000000)));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Warning);
    QCOMPARE(frame.scanCounters().filesFound.load(), 7);
    QTreeWidget* tree = frame.folderPane()->tree();
    QCOMPARE(tree->topLevelItem(tree->topLevelItemCount() - 1)->text(0), QStringLiteral("unsorted (3)"));
    QVERIFY(frame.context().commandEnable[0]);
    QVERIFY(frame.context().commandEnable[1]);
    QVERIFY(!frame.context().commandEnable[2]);
  }
};

LUMICARVE_UI_TEST_MAIN(ScanFaultTest)
#include "scan_fault_test.moc"
