// The progress display: the texts a progress tick writes for given counters.
#include <QApplication>
#include <QProgressBar>
#include <QTest>

#include "controls/transparent_static.h"
#include "shell/control_pane.h"
#include "shell/main_frame.h"
#include "shell/progress_display.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

enum Value { kElapsed, kRemaining, kPosition, kErrors, kFilesFound, kTotalLength, kPercentage };

}  // namespace

class ProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    // A device of 1,000,000 sectors to estimate the remaining time against.
    QString image = dir_.filePath(QStringLiteral("device.img"));
    QVERIFY(MakeCardImage(image, {}, 1000000));
    frame_ = std::make_unique<CMainFrame>();
    QVERIFY(frame_->openDiskImage(image));
    AppContext& c = frame_->context();
    c.scannedDeviceIndex = c.selectedDeviceIndex;
    c.thousandsSeparator = ',';
    c.scanState.store(SCAN_RUNNING);
  }
  void cleanup() {
    frame_->context().scanState.store(SCAN_IDLE);
    frame_.reset();
  }

  void aTickWritesEveryCounterWithSeparatorsAndUnits() {
    AppContext& c = frame_->context();
    frame_->scanCounters().filesFound.store(1234567);
    frame_->scanCounters().readErrors.store(12);
    frame_->scanCounters().totalLength.store(int64_t{5000} * 1048576 + 1048575);
    frame_->scanCounters().position.store(int64_t{2048} * 1500);
    c.scanStartTick = TickCountMs() - 3723 * 1000;
    frame_->scanProgress(453);
    ControlPane* p = frame_->controlPane();
    QCOMPARE(p->value(kFilesFound)->text(), QStringLiteral("1,234,567"));
    QCOMPARE(p->value(kErrors)->text(), QStringLiteral("12"));
    // Decimal units, as the device list writes the capacity.
    QCOMPARE(p->value(kTotalLength)->text(), QStringLiteral("5.2 GB"));
    QCOMPARE(p->value(kPosition)->text(), QStringLiteral("1.6 GB"));
    QCOMPARE(p->value(kElapsed)->text(), QStringLiteral("1:02:03"));
    QCOMPARE(p->value(kPercentage)->text(), QStringLiteral("45.3 %"));
    QCOMPARE(p->progressBar()->value(), 453);
  }

  void hoursAreNotWrapped() {
    frame_->context().scanStartTick = TickCountMs() - 360000u * 1000u;
    frame_->scanProgress(10);
    QCOMPARE(frame_->controlPane()->value(kElapsed)->text(), QStringLiteral("100:00:00"));
  }

  void theRemainingTimeChangesOnlyOnEveryFourthTick() {
    AppContext& c = frame_->context();
    ControlPane* p = frame_->controlPane();
    // 100 s for a quarter of the device: 300 s remain.
    c.scanStartTick = TickCountMs() - 100 * 1000;
    frame_->scanCounters().position.store(250000);
    frame_->scanProgress(250);
    QCOMPARE(p->value(kRemaining)->text(), QStringLiteral("0:05:00"));
    // Half way after 200 s: 200 s would remain, but only the fourth tick on
    // shows it; the elapsed time moves on every tick.
    c.scanStartTick = TickCountMs() - 200 * 1000;
    frame_->scanCounters().position.store(500000);
    for (int tick = 2; tick <= 4; ++tick) {
      frame_->scanProgress(500);
      QCOMPARE(p->value(kRemaining)->text(), QStringLiteral("0:05:00"));
      QCOMPARE(p->value(kElapsed)->text(), QStringLiteral("0:03:20"));
    }
    frame_->scanProgress(500);
    QCOMPARE(p->value(kRemaining)->text(), QStringLiteral("0:03:20"));
  }

  void aTickAtPositionZeroLeavesTheRemainingTimeAlone() {
    AppContext& c = frame_->context();
    c.scanStartTick = TickCountMs() - 10 * 1000;
    frame_->scanCounters().position.store(0);
    frame_->scanProgress(0);
    QCOMPARE(frame_->controlPane()->value(kRemaining)->text(), QString());
    QCOMPARE(frame_->controlPane()->value(kElapsed)->text(), QStringLiteral("0:00:10"));
  }

  void aValueAbove1000IsShownAs1000() {
    frame_->scanProgress(1500);
    QCOMPARE(frame_->controlPane()->value(kPercentage)->text(), QStringLiteral("100.0 %"));
    QCOMPARE(frame_->controlPane()->progressBar()->value(), 1000);
  }

  void aHugeDeviceDoesNotOverflowTheEstimate() {
    ProgressDisplay display;
    ProgressCounters c;
    c.position = 1;
    c.deviceSectors = int64_t{1} << 62;
    c.elapsedSeconds = 4;
    display.Tick(0, c, ',');
    // 4 × 2^62 is 2^64: its low 32 bits are 0, and 0 - 4 s shows as -4 s.
    QCOMPARE(QString::fromStdString(display.Texts().remaining), QStringLiteral("0:00:-4"));
  }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<CMainFrame> frame_;
};

LUMICARVE_UI_TEST_MAIN(ProgressTest)
#include "progress_test.moc"
