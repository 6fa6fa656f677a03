// Termination signals while the window scans: the test re-runs its own
// program as the window (RunWindow, a scan started as it shows) on a large
// card, signals it mid-scan, and checks that it ends promptly with
// 128 + the signal and leaves its temp folder empty.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <signal.h>
#include <unistd.h>

#include "results/exif_reader.h"
#include "shell/application.h"
#include "shell/main_frame.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

constexpr char kChildVariable[] = "LUMICARVE_SIGNAL_TEST_WINDOW";

// Bytes the process `pid` has read so far.
qint64 BytesRead(qint64 pid) {
  QFile io(QStringLiteral("/proc/%1/io").arg(pid));
  if (!io.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : io.readAll().split('\n'))
    if (line.startsWith("rchar: ")) return line.mid(7).toLongLong();
  return 0;
}

}  // namespace

class WindowSignalTest : public QObject {
  Q_OBJECT

 private slots:
  void aSignalMidScanEndsTheWindowPromptlyAndEmptiesItsTempFolder_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("repeats");
    QTest::newRow("SIGTERM") << SIGTERM << 1;
    QTest::newRow("SIGINT") << SIGINT << 1;
    QTest::newRow("SIGHUP") << SIGHUP << 1;
    QTest::newRow("SIGINT twice") << SIGINT << 2;
  }

  void aSignalMidScanEndsTheWindowPromptlyAndEmptiesItsTempFolder() {
    QFETCH(int, signal);
    QFETCH(int, repeats);
    QTemporaryDir dir;
    const QString card = dir.filePath(QStringLiteral("card.img"));
    QVERIFY(MakeCardImage(card, SampleCardFiles()));
    // 16 GB of unwritten card after the pictures: seconds of scanning.
    QVERIFY(QFile::resize(card, qint64{16} << 30));
    QDir(dir.path()).mkpath(QStringLiteral("tmp"));
    QDir(dir.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(dir.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner |
                                                                        QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QDir tmp(dir.filePath(QStringLiteral("tmp")));

    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(env);
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(QCoreApplication::applicationFilePath(), {card});
    QVERIFY(window.waitForStarted());
    // Under way: its private folder made and well past the pictures.
    QTRY_VERIFY_WITH_TIMEOUT(!tmp.entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty() &&
                                 BytesRead(window.processId()) > (qint64{256} << 20),
                             20000);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < repeats; ++i) ::kill(static_cast<pid_t>(window.processId()), signal);
    QVERIFY(window.waitForFinished(20000));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
    QCOMPARE(window.exitCode(), 128 + signal);
    QCOMPARE(tmp.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
  }
};

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsSet(kChildVariable)) {
    QApplication app(argc, argv);
    StartImaging();
    const int result =
        RunWindow(app, [](CMainFrame& frame) { frame.controlRequest(CMainFrame::kStartScan); });
    StopImaging();
    return result;
  }
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  WindowSignalTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_signal_test.moc"
