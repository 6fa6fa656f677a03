// The device list filling while disks are described on worker threads: of
// two real loop devices, one is held up in its description; the other is
// listed meanwhile, the window keeps answering input, a refresh asked
// meanwhile waits its turn, and the slow disk takes its place in the list
// once described, the selection staying on the chosen disk. Needs root for
// the loop devices; skipped with the reason otherwise.
#include <unistd.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "devices/device_list.h"
#include "controls/transparent_static.h"
#include "shell/control_pane.h"
#include "shell/device_enumerator.h"
#include "shell/main_frame.h"
#include "ui_test_support.h"

using namespace lumicarve;

namespace {

QString Run(const QStringList& args, bool* ok) {
  QProcess p;
  p.start(QStringLiteral("losetup"), args);
  *ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

// The place of `path` in the table, -1 when not listed; fails the test when
// it is listed twice.
int Find(CMainFrame& frame, const QString& path) {
  int index = -1;
  for (int i = 0; i < frame.context().deviceCount; ++i) {
    if (path != QString::fromUtf8(frame.context().devices[i].path)) continue;
    if (index >= 0) return -2;
    index = i;
  }
  return index;
}

}  // namespace

class DeviceListTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (::geteuid() != 0) QSKIP("attaching a loop device needs root");
    QVERIFY(dir_.isValid());
    for (const char* name : {"first.img", "second.img"}) {
      QFile image(dir_.filePath(QString::fromLatin1(name)));
      QVERIFY(image.open(QIODevice::WriteOnly) && image.resize(1 << 20));
      bool ok = false;
      const QString device = Run({QStringLiteral("-f"), QStringLiteral("--show"), image.fileName()}, &ok);
      if (!ok) QSKIP(qPrintable("losetup failed: " + device));
      devices_ << device;
    }
    // The disk held up is the one listed first, so it lands before the other.
    if (NaturalLess(devices_[1].toStdString(), devices_[0].toStdString())) devices_.swapItemsAt(0, 1);
  }

  void cleanupTestCase() {
    gate_->store(true);
    bool ok = false;
    for (const QString& device : devices_) Run({QStringLiteral("-d"), device}, &ok);
  }

  void aSlowDiskHoldsBackNeitherTheOtherDisksNorTheWindow() {
    const QString slow = devices_[0], fast = devices_[1];
    CMainFrame frame;
    auto described = std::make_shared<std::atomic<int>>(0);
    frame.deviceEnumerator()->setDescriber(
        [gate = gate_, described, slow = slow.toStdString(), fast = fast.toStdString()](const BlockDisk& disk,
                                                                                         bool* denied) {
          if (disk.devNode == slow || disk.devNode == fast) ++*described;
          for (int i = 0; disk.devNode == slow && i < 600 && !gate->load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
          return DescribeBlockDisk(disk, "/", true, denied);
        });
    QSignalSpy listings(frame.deviceEnumerator(), &DeviceEnumerator::finished);
    frame.show();
    frame.initialiseDevices();
    QComboBox* selector = frame.controlPane()->deviceSelector();
    QTRY_VERIFY_WITH_TIMEOUT(Find(frame, fast) >= 0, 20000);
    QCOMPARE(Find(frame, slow), -1);

    // The window answers input while the slow disk is being described: a
    // refresh (coalesced with the running listing) and the thumbnail switch.
    QTest::keyClick(&frame, Qt::Key_R, Qt::ControlModifier);
    QCheckBox* thumbnails = frame.controlPane()->thumbnailSwitch();
    const bool wasChecked = thumbnails->isChecked();
    QTest::mouseClick(frame.controlPane()->thumbnailLabel(), Qt::LeftButton);
    QCOMPARE(thumbnails->isChecked(), !wasChecked);
    QCOMPARE((frame.context().displayFlags & 1) != 0, !wasChecked);

    // The fast disk chosen in the list, by the user.
    selector->showPopup();
    QAbstractItemView* list = selector->view();
    QTRY_VERIFY(list->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(Find(frame, fast), 0)).center());
    QTRY_COMPARE(frame.context().selectedDeviceIndex, Find(frame, fast));
    QVERIFY(frame.deviceEnumerator()->running());
    QCOMPARE(Find(frame, slow), -1);

    gate_->store(true);
    QTRY_VERIFY_WITH_TIMEOUT(Find(frame, slow) >= 0, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(listings.count(), 2, 20000);
    QVERIFY(!frame.deviceEnumerator()->running());
    // Each disk listed once, described once (the refresh asked meanwhile
    // found both known), in the listing's order, the choice kept.
    QVERIFY(Find(frame, slow) < Find(frame, fast));
    QCOMPARE(described->load(), 2);
    QCOMPARE(selector->count(), frame.context().deviceCount);
    for (int i = 0; i < selector->count(); ++i)
      QCOMPARE(selector->itemText(i), QString::fromUtf8(frame.context().devices[i].label));
    QCOMPARE(frame.context().selectedDeviceIndex, Find(frame, fast));
    QCOMPARE(selector->currentIndex(), Find(frame, fast));

  }

 private:
  QTemporaryDir dir_;
  QStringList devices_;
  std::shared_ptr<std::atomic<bool>> gate_ = std::make_shared<std::atomic<bool>>(false);
};

LUMICARVE_UI_TEST_MAIN(DeviceListTest)
#include "device_list_test.moc"
