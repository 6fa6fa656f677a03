// The window reading a disk its user may not open: it asks the disk service
// (the real udisksd, on a private system bus the test starts) for a read-only
// descriptor of a loop device holding a camera card, and scans through it.
// Needs root for the loop device, dbus-daemon and udisksd; skipped with the
// reason otherwise.
#include <fcntl.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cerrno>

#include "controls/tri_check_tree.h"
#include "devices/device_list.h"
#include "results/ui/folder_view_pane.h"
#include "shell/command_button_strip.h"
#include "shell/control_pane.h"
#include "shell/device_watch.h"
#include "shell/disk_access.h"
#include "shell/main_frame.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

const char* const kUdisksd = "/usr/libexec/udisks2/udisksd";

QString Run(const QString& program, const QStringList& args, bool* ok = nullptr) {
  QProcess p;
  p.start(program, args);
  const bool done = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (ok) *ok = done;
  return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

// Lists the disks as a user without access to them sees them: the test runs
// as root, so only its file-system identity changes, and only meanwhile.
// Returns the place of `device` in the table.
int ListAsOrdinaryUser(CMainFrame& frame, const QString& device) {
  ::setfsuid(65534);
  BuildDeviceTable(frame.context(), "/", true);
  ::setfsuid(0);
  int index = -1;
  for (int i = 0; i < frame.context().deviceCount; ++i) {
    frame.controlPane()->AddDeviceItem(QString::fromUtf8(frame.context().devices[i].label));
    if (device == QString::fromUtf8(frame.context().devices[i].path)) index = i;
  }
  return index;
}

void ClickSearch(CMainFrame& frame) {
  QTest::mouseClick(frame.controlPane()->strip()->button(0), Qt::LeftButton, {},
                    QPoint(CommandButtonStrip::kButtonWidth / 2, 50));
}

}  // namespace

class DiskAccessTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (::geteuid() != 0) return skip("attaching a loop device needs root");
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
      return skip("dbus-daemon is not installed (package dbus)");
    if (!QFile::exists(QString::fromLatin1(kUdisksd))) return skip("udisksd is not installed (package udisks2)");
    QVERIFY(dir_.isValid());
    const QString image = dir_.filePath(QStringLiteral("card.img"));
    QVERIFY(MakeCardImage(image, SampleCardFiles()));
    QFile image0(image);
    QVERIFY(image0.open(QIODevice::ReadOnly));
    firstSector_ = image0.read(512);

    // A system bus of the test's own: its own configuration and socket.
    const QString socket = dir_.filePath(QStringLiteral("system_bus_socket"));
    QFile config(dir_.filePath(QStringLiteral("bus.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral(
                     "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                     " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><type>system</type><listen>unix:path=%1</listen><auth>EXTERNAL</auth>\n"
                     "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>\n"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/></policy></busconfig>\n")
                     .arg(socket)
                     .toUtf8());
    config.close();
    bus_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                               QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 10000);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + socket.toLocal8Bit());

    bool ok = false;
    device_ = Run(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), image}, &ok);
    if (!ok) return skip("losetup failed: " + device_);
    // udisksd takes only the disks the device manager has finished with; this
    // sandbox runs none, so the test records the loop device as finished.
    QFile number(QStringLiteral("/sys/block/") + device_.mid(5) + QStringLiteral("/dev"));
    QVERIFY(number.open(QIODevice::ReadOnly));
    madeUdevDir_ = !QDir(QStringLiteral("/run/udev/data")).exists();
    QVERIFY(QDir().mkpath(QStringLiteral("/run/udev/data")));
    udevRecord_ = QStringLiteral("/run/udev/data/b") + QString::fromLatin1(number.readAll().trimmed());
    QFile record(udevRecord_);
    QVERIFY(record.open(QIODevice::WriteOnly));
    record.write("I:1\n");
  }

  void cleanupTestCase() {
    for (QProcess* p : {&udisksd_, &bus_}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->terminate();
      if (!p->waitForFinished(5000)) {
        p->kill();
        p->waitForFinished(5000);
      }
    }
    if (!device_.isEmpty()) Run(QStringLiteral("losetup"), {QStringLiteral("-d"), device_});
    if (!udevRecord_.isEmpty()) QFile::remove(udevRecord_);
    if (madeUdevDir_) {
      QDir().rmdir(QStringLiteral("/run/udev/data"));
      QDir().rmdir(QStringLiteral("/run/udev"));
    }
  }

  // Runs first, while the bus has no disk service on it.
  void withoutTheDiskServiceTheUserIsToldWhatToDoAndNothingElseChanges() {
    if (!skipReason_.isEmpty()) QSKIP(qPrintable(skipReason_));
    CMainFrame frame;
    frame.show();
    const int index = ListAsOrdinaryUser(frame, device_);
    QVERIFY(index >= 0);
    QCOMPARE(frame.context().devices[index].needsAccess, 1);
    const QString label = frame.controlPane()->deviceSelector()->itemText(index);
    frame.controlPane()->selectDevice(index);
    MessageBoxWatcher boxes;
    ClickSearch(frame);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 30000);

    QCOMPARE(boxes.texts.at(0),
             QStringLiteral("Lumicarve needs permission to read %1, and udisks2, the system service that asks for "
                            "it, is not running. Install the udisks2 package (it starts when asked), or scan the "
                            "disk with lumicarve-cli run with sudo.")
                 .arg(device_));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Warning);
    const DeviceEntry& entry = frame.context().devices[index];
    QCOMPARE(entry.handle, -1);
    QCOMPARE(entry.needsAccess, 1);
    QCOMPARE(frame.controlPane()->deviceSelector()->itemText(index), label);
    QCOMPARE(frame.context().selectedDeviceIndex, index);
    QCOMPARE(frame.context().scanState.load(), SCAN_IDLE);
    QVERIFY(frame.controlPane()->strip()->commandEnabled(0));
    QVERIFY(!frame.controlPane()->strip()->commandEnabled(2));
    QCOMPARE(frame.folderPane()->tree()->topLevelItemCount(), 0);
    QVERIFY(!frame.diskAccess()->pending());
  }

  // Without the service, a loop device attached while the window runs is
  // noticed through the kernel's own device events.
  void withoutTheDiskServiceTheWatchFollowsTheKernelsEvents() {
    if (!skipReason_.isEmpty()) QSKIP(qPrintable(skipReason_));
    DeviceWatch watch;
    QTRY_VERIFY(watch.settled());
    QCOMPARE(watch.source(), DeviceWatch::Source::KernelEvents);
    QSignalSpy changed(&watch, &DeviceWatch::devicesChanged);
    bool ok = false;
    const QString image = dir_.filePath(QStringLiteral("card.img"));
    const QString second = Run(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), image}, &ok);
    QVERIFY2(ok, qPrintable(second));
    Run(QStringLiteral("losetup"), {QStringLiteral("-d"), second});
    QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 1, 10000);
  }

  void choosingADeniedDiskOpensItReadOnlyThroughTheDiskService() {
    startDiskService();
    DeviceWatch watch;
    QCOMPARE(watch.source(), DeviceWatch::Source::KernelEvents);  // until the bus has answered
    QTRY_VERIFY(watch.settled());
    QCOMPARE(watch.source(), DeviceWatch::Source::DiskService);
    CMainFrame frame;
    frame.show();
    const int index = ListAsOrdinaryUser(frame, device_);
    QVERIFY(index >= 0);
    QComboBox* selector = frame.controlPane()->deviceSelector();
    selector->showPopup();
    QAbstractItemView* list = selector->view();
    QTRY_VERIFY(list->isVisible());
    const QRect item = list->visualRect(list->model()->index(index, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());

    const DeviceEntry& entry = frame.context().devices[index];
    QTRY_VERIFY_WITH_TIMEOUT(entry.handle >= 0, 30000);
    QCOMPARE(entry.needsAccess, 0);
    QCOMPARE(::fcntl(entry.handle, F_GETFL) & O_ACCMODE, O_RDONLY);
    QByteArray sector(512, '\0');
    QCOMPARE(::pread(entry.handle, sector.data(), 512, 0), 512);
    QCOMPARE(sector, firstSector_);
    errno = 0;
    QCOMPARE(::pwrite(entry.handle, sector.constData(), 512, 0), -1);
    QCOMPARE(errno, EBADF);
    QCOMPARE(selector->itemText(index), QString::fromUtf8(entry.label));
  }

  void searchingADeniedDiskAsksForItThenScansThroughTheDescriptor() {
    startDiskService();
    CMainFrame frame;
    frame.show();
    const int index = ListAsOrdinaryUser(frame, device_);
    QVERIFY(index >= 0);
    frame.controlPane()->selectDevice(index);
    MessageBoxWatcher boxes;
    ClickSearch(frame);
    QTRY_VERIFY_WITH_TIMEOUT(!boxes.texts.isEmpty() && frame.context().scanState.load() != SCAN_RUNNING &&
                                 frame.controlPane()->strip()->commandEnabled(0),
                             60000);
    QCOMPARE(boxes.texts, QStringList(QStringLiteral(
                              "Scan completed.\n7 files found\nSelect folders or files and press "
                              "the 'Recover files' button to save the files.")));
    QCOMPARE(frame.context().scannedDeviceIndex, index);
    QCOMPARE(::fcntl(frame.context().devices[index].handle, F_GETFL) & O_ACCMODE, O_RDONLY);
  }

 private:
  void skip(const QString& why) { skipReason_ = why; }

  void startDiskService() {
    if (!skipReason_.isEmpty()) QSKIP(qPrintable(skipReason_));
    if (udisksd_.state() == QProcess::NotRunning) {
      udisksd_.setProcessChannelMode(QProcess::MergedChannels);
      udisksd_.start(QString::fromLatin1(kUdisksd), {QStringLiteral("--no-sigint")});
    }
    // Ready once it shows the loop device.
    const QString object = QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + device_.mid(5);
    auto shown = [&] {
      QDBusMessage get = QDBusMessage::createMethodCall(
          QStringLiteral("org.freedesktop.UDisks2"), object, QStringLiteral("org.freedesktop.DBus.Properties"),
          QStringLiteral("Get"));
      get << QStringLiteral("org.freedesktop.UDisks2.Block") << QStringLiteral("Device");
      return QDBusConnection::systemBus().call(get, QDBus::Block, 2000).type() == QDBusMessage::ReplyMessage;
    };
    for (int i = 0; i < 60 && !shown(); ++i) {
      if (udisksd_.state() == QProcess::NotRunning) break;
      QTest::qWait(250);
    }
    if (!shown()) {
      skip("udisksd did not show " + device_ + " on the private bus: " +
           QString::fromLocal8Bit(udisksd_.readAll()).right(400));
      QSKIP(qPrintable(skipReason_));
    }
  }

  QTemporaryDir dir_;
  QProcess bus_;
  QProcess udisksd_;
  QString device_;
  QString udevRecord_;
  bool madeUdevDir_ = false;
  QString skipReason_;
  QByteArray firstSector_;
};

LUMICARVE_UI_TEST_MAIN(DiskAccessTest)
#include "disk_access_test.moc"
