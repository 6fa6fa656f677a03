// Termination signals while the window works: the test re-runs its own
// program as the window (RunWindow, a scan started as it shows) on a large
// card, signals it mid-scan or in the middle of saving a large file, and
// checks that it ends promptly with 128 + the signal, leaves its temp folder
// empty and keeps every file already saved.
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <signal.h>
#include <unistd.h>

#include "controls/tri_check_tree.h"
#include "results/ui/exif_reader.h"
#include "results/ui/folder_view_pane.h"
#include "shell/application.h"
#include "shell/main_frame.h"
#include "shell/recovery_target_dialog.h"
#include "shell/recovery_dialog.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

constexpr char kChildVariable[] = "LUMICARVE_SIGNAL_TEST_WINDOW";
// When set, the window saves everything it found into this folder once the
// scan has ended, answering the folder chooser and the message boxes itself.
constexpr char kRecoverVariable[] = "LUMICARVE_SIGNAL_TEST_RECOVER_TO";

// Bytes the process `pid` has read so far.
qint64 BytesRead(qint64 pid) {
  QFile io(QStringLiteral("/proc/%1/io").arg(pid));
  if (!io.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : io.readAll().split('\n'))
    if (line.startsWith("rchar: ")) return line.mid(7).toLongLong();
  return 0;
}

qint64 BytesBelow(const QString& dir) {
  qint64 total = 0;
  QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) total += QFileInfo(it.next()).size();
  return total;
}

// Bytes of the files `pid` holds open below `dir`: a file being saved has no
// name there until it is complete.
qint64 BytesOpenBelow(qint64 pid, const QString& dir) {
  qint64 total = 0;
  QDirIterator it(QStringLiteral("/proc/%1/fd").arg(pid), QDir::Files | QDir::System);
  while (it.hasNext()) {
    const QFileInfo fd(it.next());
    if (fd.symLinkTarget().startsWith(dir + QLatin1Char('/'))) total += QFileInfo(fd.absoluteFilePath()).size();
  }
  return total;
}

// The sample card followed by an MP4 of 3 GiB whose header gives its length;
// its content is a hole of the image file, so the scan jumps over it at once
// and saving it takes seconds.
bool MakeCardWithLargeVideo(const QString& card) {
  if (!MakeCardImage(card, SampleCardFiles())) return false;
  QFile f(card);
  if (!f.open(QIODevice::ReadWrite)) return false;
  const qint64 at = (f.size() + 511) / 512 * 512 + (qint64{1} << 20);
  constexpr quint32 kMdat = 3u << 30;
  const unsigned char head[32] = {0,   0,   0,   24,  'f', 't', 'y', 'p', 'i', 's', 'o',
                                  'm', 0,   0,   2,   0,   'i', 's', 'o', 'm', 'm', 'p',
                                  '4', '1', kMdat >> 24, (kMdat >> 16) & 0xFF, (kMdat >> 8) & 0xFF, kMdat & 0xFF,
                                  'm', 'd', 'a', 't'};
  if (!f.seek(at) || f.write(reinterpret_cast<const char*>(head), sizeof head) != qint64{sizeof head}) return false;
  return f.resize(at + 24 + kMdat + (qint64{1} << 20));
}

// The window's own temp folder, config and runtime folders below `dir`.
void StartWindow(QProcess& window, const QTemporaryDir& dir, const QString& card, const QString& recoverTo) {
  QDir(dir.path()).mkpath(QStringLiteral("tmp"));
  QDir(dir.path()).mkpath(QStringLiteral("runtime"));
  QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
  if (!recoverTo.isEmpty()) env.insert(QString::fromLatin1(kRecoverVariable), recoverTo);
  env.insert(QStringLiteral("TMPDIR"), dir.filePath(QStringLiteral("tmp")));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  window.setProcessEnvironment(env);
  window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  window.start(QCoreApplication::applicationFilePath(), {card});
}

// In the child: once the scan has ended, checks every folder and saves them
// all, as a user would from the menu.
class RecoveryDriver : public QObject {
 public:
  RecoveryDriver(CMainFrame& frame, const QString& folder) : frame_(frame), folder_(folder) {
    connect(&timer_, &QTimer::timeout, this, &RecoveryDriver::poll);
    timer_.start(20);
  }

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* chooser = qobject_cast<RecoveryTargetDialog*>(modal)) {
      chooser->destinationEdit()->setText(folder_);
      QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      box->accept();
    } else if (!modal && !started_ && frame_.context().commandEnable[1] &&
               frame_.context().scanState.load() != SCAN_RUNNING) {
      started_ = true;
      frame_.waitForScanThread();
      CTriCheckStateTreeCtrl* tree = frame_.folderPane()->tree();
      for (int i = 0; i < tree->topLevelItemCount(); ++i) tree->setCheck(tree->topLevelItem(i), Qt::Checked);
      // Queued: this timer fires no more while its own slot runs, and it
      // must answer the folder chooser the request opens.
      QMetaObject::invokeMethod(
          &frame_, [this] { frame_.controlRequest(CMainFrame::kRecoverFiles); }, Qt::QueuedConnection);
    }
  }
  CMainFrame& frame_;
  QString folder_;
  QTimer timer_;
  bool started_ = false;
};

// Every file below `dir`, in any folder.
QStringList AllFilesUnder(const QString& dir) {
  QStringList out;
  QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) out << it.next();
  return out;
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
    const QDir tmp(dir.filePath(QStringLiteral("tmp")));
    QProcess window;
    StartWindow(window, dir, card, QString());
    QVERIFY(window.waitForStarted());
    // Under way and well past the pictures, which were previewed straight
    // from the card: nothing was written to a temp file.
    QTRY_VERIFY_WITH_TIMEOUT(BytesRead(window.processId()) > (qint64{256} << 20), 20000);
    QCOMPARE(AllFilesUnder(tmp.path()), QStringList());
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < repeats; ++i) ::kill(static_cast<pid_t>(window.processId()), signal);
    QVERIFY(window.waitForFinished(20000));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
    QCOMPARE(window.exitCode(), 128 + signal);
    QCOMPARE(tmp.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
  }

  void aSignalWhileALargeFileIsSavedRemovesItsPartAndKeepsEverySavedFile() {
    QTemporaryDir dir;
    const QString card = dir.filePath(QStringLiteral("card.img"));
    QVERIFY(MakeCardWithLargeVideo(card));
    const QString out = dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    const QDir tmp(dir.filePath(QStringLiteral("tmp")));
    QProcess window;
    StartWindow(window, dir, card, out);
    QVERIFY(window.waitForStarted());
    // The seven pictures come first on the card; the video is being written
    // once more than they hold is below the destination.
    QTRY_VERIFY_WITH_TIMEOUT(BytesBelow(out) + BytesOpenBelow(window.processId(), out) > (qint64{64} << 20), 30000);
    QElapsedTimer clock;
    clock.start();
    ::kill(static_cast<pid_t>(window.processId()), SIGTERM);
    QVERIFY(window.waitForFinished(20000));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
    QCOMPARE(window.exitCode(), 128 + SIGTERM);
    QCOMPARE(tmp.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QStringList saved;
    for (const auto& [name, original] : SampleCardSaved()) saved << name;
    QCOMPARE(FilesBelow(out), saved);
    for (const auto& [name, original] : SampleCardSaved())
      QVERIFY2(Sha256(out + QLatin1Char('/') + name) == Sha256(DataPath(original)), qPrintable(name));
  }
};

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsSet(kChildVariable)) {
    QApplication app(argc, argv);
    StartImaging();
    std::unique_ptr<RecoveryDriver> driver;
    const int result = RunWindow(app, [&driver](CMainFrame& frame) {
      if (qEnvironmentVariableIsSet(kRecoverVariable))
        driver = std::make_unique<RecoveryDriver>(frame, qEnvironmentVariable(kRecoverVariable));
      frame.controlRequest(CMainFrame::kStartScan);
    });
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
