// The command button strip: its looks, and which clicks become requests.
#include <QApplication>
#include <QCursor>
#include <QSignalSpy>
#include <QTest>

#include "shell/app_context.h"
#include "shell/command_button_strip.h"
#include "ui_test_support.h"

using namespace lumicarve;

namespace {

QPoint Centre(int button) { return {CommandButtonStrip::kButtonWidth * button + 43, 50}; }

}  // namespace

class CommandStripTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    context_ = std::make_unique<AppContext>();
    strip_ = std::make_unique<CommandButtonStrip>();
    strip_->setContext(context_.get());
    strip_->resize(300, 100);
    strip_->setCommandEnable(0, true);
    strip_->setCommandEnable(1, false);
    strip_->setCommandEnable(2, true);
    strip_->show();
    QVERIFY(QTest::qWaitForWindowExposed(strip_.get()));
  }

  void theLookFollowsTheFlagsThePressAndTheHover() {
    QCOMPARE(strip_->lookOf(0), CommandButtonStrip::kNormal);
    QCOMPARE(strip_->lookOf(1), CommandButtonStrip::kDisabled);
    QTest::mouseMove(strip_.get(), Centre(2));
    QCOMPARE(strip_->lookOf(2), CommandButtonStrip::kHover);
    QTest::mousePress(strip_.get(), Qt::LeftButton, {}, Centre(2));
    QCOMPARE(strip_->lookOf(2), CommandButtonStrip::kPressed);
    QTest::mouseRelease(strip_.get(), Qt::LeftButton, {}, Centre(2));
    QCOMPARE(strip_->lookOf(2), CommandButtonStrip::kHover);
    // The setter stores the flag in the context and redraws.
    strip_->setCommandEnable(1, true);
    QCOMPARE(int(context_->commandEnable[1]), 1);
    QCOMPARE(strip_->lookOf(1), CommandButtonStrip::kNormal);
    // The pressed face differs from the normal one: it is drawn, not only named.
    QImage normal = strip_->grab().toImage();
    QTest::mousePress(strip_.get(), Qt::LeftButton, {}, Centre(0));
    QVERIFY(strip_->grab().toImage() != normal);
    QTest::mouseRelease(strip_.get(), Qt::LeftButton, {}, Centre(0));
  }

  void aClickOnADisabledButtonDoesNothingAndShowsNoPress() {
    QSignalSpy requests(strip_.get(), &CommandButtonStrip::controlRequest);
    QTest::mousePress(strip_.get(), Qt::LeftButton, {}, Centre(1));
    QCOMPARE(strip_->lookOf(1), CommandButtonStrip::kDisabled);
    QTest::mouseRelease(strip_.get(), Qt::LeftButton, {}, Centre(1));
    QCOMPARE(requests.count(), 0);
  }

  void pressOnOneAndReleaseOnAnotherSendsTheOneUnderTheCursor() {
    QSignalSpy requests(strip_.get(), &CommandButtonStrip::controlRequest);
    QTest::mousePress(strip_.get(), Qt::LeftButton, {}, Centre(0));
    QTest::mouseRelease(strip_.get(), Qt::LeftButton, {}, Centre(2));
    QCOMPARE(requests.count(), 1);
    QCOMPARE(requests.at(0).at(0).toInt(), 2);
    // Released over a disabled button: nothing.
    QTest::mousePress(strip_.get(), Qt::LeftButton, {}, Centre(0));
    QTest::mouseRelease(strip_.get(), Qt::LeftButton, {}, Centre(1));
    QCOMPARE(requests.count(), 1);
    QCOMPARE(strip_->pressedIndex(), -1);
  }

  void aClickRightOfTheThirdButtonDoesNothing() {
    QSignalSpy requests(strip_.get(), &CommandButtonStrip::controlRequest);
    QPoint right(CommandButtonStrip::kButtonWidth * 3 + 5, 50);
    QTest::mouseClick(strip_.get(), Qt::LeftButton, {}, right);
    QCOMPARE(requests.count(), 0);
    for (int k = 0; k < 3; ++k) QVERIFY(strip_->lookOf(k) != CommandButtonStrip::kPressed);
  }

  void theHoverLookClearsSoonAfterTheCursorLeaves() {
    QCursor::setPos(strip_->mapToGlobal(Centre(0)));
    QTest::mouseMove(strip_.get(), Centre(0));
    QCOMPARE(strip_->hoverIndex(), 0);
    QVERIFY(strip_->hoverTimerRunning());
    QCursor::setPos(strip_->mapToGlobal(QPoint(-50, -50)));
    QTRY_COMPARE_WITH_TIMEOUT(strip_->hoverIndex(), -1, 250);
    QVERIFY(!strip_->hoverTimerRunning());
  }

 private:
  std::unique_ptr<AppContext> context_;
  std::unique_ptr<CommandButtonStrip> strip_;
};

LUMICARVE_UI_TEST_MAIN(CommandStripTest)
#include "command_strip_test.moc"
