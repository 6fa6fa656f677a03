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

QPoint Centre() { return {43, 50}; }

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
    QTest::mouseMove(button(2), Centre());
    QCOMPARE(strip_->lookOf(2), CommandButtonStrip::kHover);
    QTest::mousePress(button(2), Qt::LeftButton, {}, Centre());
    QCOMPARE(strip_->lookOf(2), CommandButtonStrip::kPressed);
    QTest::mouseRelease(button(2), Qt::LeftButton, {}, Centre());
    QCOMPARE(strip_->lookOf(2), CommandButtonStrip::kHover);
    // The setter stores the flag in the context and redraws.
    strip_->setCommandEnable(1, true);
    QCOMPARE(int(context_->commandEnable[1]), 1);
    QCOMPARE(strip_->lookOf(1), CommandButtonStrip::kNormal);
    // The pressed face differs from the normal one: it is drawn, not only named.
    QImage normal = strip_->grab().toImage();
    QTest::mousePress(button(0), Qt::LeftButton, {}, Centre());
    QVERIFY(strip_->grab().toImage() != normal);
    QTest::mouseRelease(button(0), Qt::LeftButton, {}, Centre());
  }

  void aClickOnADisabledButtonDoesNothingAndShowsNoPress() {
    QSignalSpy requests(strip_.get(), &CommandButtonStrip::controlRequest);
    QTest::mousePress(button(1), Qt::LeftButton, {}, Centre());
    QCOMPARE(strip_->lookOf(1), CommandButtonStrip::kDisabled);
    QTest::mouseRelease(button(1), Qt::LeftButton, {}, Centre());
    QCOMPARE(requests.count(), 0);
    // Nor can it take the focus.
    button(1)->setFocus();
    QVERIFY(!button(1)->hasFocus());
  }

  void theButtonsTakeTheFocusAndSpaceOrEnterPressesTheFocusedOne() {
    QSignalSpy requests(strip_.get(), &CommandButtonStrip::controlRequest);
    button(0)->setFocus();
    QTRY_VERIFY(button(0)->hasFocus());
    // Tab skips the disabled button.
    QTest::keyClick(button(0), Qt::Key_Tab);
    QTRY_VERIFY(button(2)->hasFocus());
    QTest::keyClick(button(2), Qt::Key_Space);
    QCOMPARE(requests.count(), 1);
    QCOMPARE(requests.at(0).at(0).toInt(), 2);
  }

  void aPressReleasedOffItsButtonSendsNothing() {
    QSignalSpy requests(strip_.get(), &CommandButtonStrip::controlRequest);
    QTest::mousePress(button(0), Qt::LeftButton, {}, Centre());
    QTest::mouseRelease(button(0), Qt::LeftButton, {}, QPoint(CommandButtonStrip::kButtonWidth * 2 + 43, 50));
    QCOMPARE(requests.count(), 0);
    QCOMPARE(strip_->pressedIndex(), -1);
    QTest::mouseClick(button(0), Qt::LeftButton, {}, Centre());
    QCOMPARE(requests.count(), 1);
    QCOMPARE(requests.at(0).at(0).toInt(), 0);
  }

  void aClickRightOfTheThirdButtonDoesNothing() {
    QSignalSpy requests(strip_.get(), &CommandButtonStrip::controlRequest);
    QPoint right(CommandButtonStrip::kButtonWidth * 3 + 5, 50);
    QTest::mouseClick(strip_.get(), Qt::LeftButton, {}, right);
    QCOMPARE(requests.count(), 0);
    for (int k = 0; k < 3; ++k) QVERIFY(strip_->lookOf(k) != CommandButtonStrip::kPressed);
  }

  void theHoverLookClearsSoonAfterTheCursorLeaves() {
    QCursor::setPos(button(0)->mapToGlobal(Centre()));
    QTest::mouseMove(button(0), Centre());
    QCOMPARE(strip_->hoverIndex(), 0);
    QVERIFY(static_cast<CommandButton*>(button(0))->hoverTimerRunning());
    QCursor::setPos(strip_->mapToGlobal(QPoint(-50, -50)));
    QTRY_COMPARE_WITH_TIMEOUT(strip_->hoverIndex(), -1, 250);
    QVERIFY(!static_cast<CommandButton*>(button(0))->hoverTimerRunning());
  }

 private:
  QAbstractButton* button(int k) const { return strip_->button(k); }
  std::unique_ptr<AppContext> context_;
  std::unique_ptr<CommandButtonStrip> strip_;
};

LUMICARVE_UI_TEST_MAIN(CommandStripTest)
#include "command_strip_test.moc"
