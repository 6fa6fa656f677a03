// "Recovering files": the texts of each state the worker reports, the
// message boxes (closed by the test), the timer, and cancel.
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#include "../scan/test_device.h"
#include "shell/app_context.h"
#include "shell/recovery_dialog.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

// A dialog that clicks its own Cancel button from inside the first copied
// block, while the worker waits: a cancel at a known point of the copy.
class CancelAfterFirstBlock : public RecoveryDialog {
 public:
  using RecoveryDialog::RecoveryDialog;
  void BlockWritten(int64_t) override {
    if (clicked_) return;
    clicked_ = true;
    QMetaObject::invokeMethod(
        this, [this] { closeButton()->click(); }, Qt::BlockingQueuedConnection);
  }

 private:
  bool clicked_ = false;
};

std::vector<std::string> FileNamesBelow(const QString& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir.toStdString()))
    if (e.is_regular_file()) names.push_back(e.path().filename().string());
  return names;
}

}  // namespace

class RecoveryDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    out_ = std::make_unique<QTemporaryDir>();
    QVERIFY(out_->isValid());
    std::vector<uint8_t> big = ReadTestFile("generated/image/big_4000x3000_exif_thumb.jpg");
    std::vector<uint8_t> png = ReadTestFile("ui/plasma.png");
    ImageBuilder img;
    FoundFile f{};
    f.type = FT_PNG;
    f.length = png.size();
    f.startSector = img.Place(png);
    files_ = {f};
    f.type = FT_JPG;
    f.length = big.size();
    f.startSector = img.Place(big);
    files_.push_back(f);
    fd_ = InstallDevice(context_, img.bytes());
  }
  void cleanup() { ::close(fd_); }

  void aCompletedRecoveryReportsHowManyFilesWentWhereAndCloses() {
    RecoveryDialog d(Job(files_));
    QCOMPARE(d.windowTitle(), QStringLiteral("Recovering files"));
    QCOMPARE(d.closeButton()->text(), QStringLiteral("Cancel"));
    MessageBoxWatcher boxes;
    QCOMPARE(d.exec(), int(QDialog::Accepted));
    QCOMPARE(boxes.texts, QStringList(QStringLiteral("Extraction complete")));
    QCOMPARE(boxes.informativeTexts, QStringList(QStringLiteral("2 files saved in %1.").arg(out_->path())));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Information);
    QCOMPARE(d.recoveryState(), int(RECOVERY_COMPLETE));
    QVERIFY(!d.timerActive());
    QCOMPARE(d.writingText()->text(), QStringLiteral("unsorted/0002.JPG (2/2)"));
    QCOMPARE(d.progressBar()->value(), 1000);
    QCOMPARE(d.percentageText()->text(), QStringLiteral("100 %"));
    QCOMPARE(d.closeButton()->text(), QStringLiteral("Close"));
  }

  void nothingSelectedShowsItsMessageClosesAndWritesNothing() {
    RecoveryDialog d(Job({}));
    MessageBoxWatcher boxes;
    QCOMPARE(d.exec(), int(QDialog::Rejected));
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(boxes.texts.at(0), QStringLiteral("No files or folders selected"));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Critical);
    QVERIFY(!d.timerActive());
    QVERIFY(FileNamesBelow(out_->path()).empty());
  }

  void eachErrorOfTheWorkerIsShownWithItsFigures() {
    RecoveryDialog d(Job(files_));
    RecoveryReport r;
    r.state = RECOVERY_ERROR;
    r.error = RECOVERY_INSUFFICIENT_SPACE;
    r.destination = "/media/usb";
    r.bytesRequired = 1234567;
    r.bytesAvailable = 65536;
    MessageBoxWatcher boxes;
    d.handleRecoveryNotify(r);
    r.error = RECOVERY_WRITE_FAILED;
    r.currentFileName = "2012/05/17/0001.JPG";
    r.systemError = 28;
    d.handleRecoveryNotify(r);
    r.error = RECOVERY_READ_FAILED;
    r.systemError = 5;
    d.handleRecoveryNotify(r);
    QCOMPARE(boxes.texts, (QStringList{
                              QStringLiteral("Insufficient disk space on /media/usb\nrequired: 1.2 MB, available: 66 KB"),
                              QStringLiteral("Error writing 2012/05/17/0001.JPG (28: No space left on device)"),
                              QStringLiteral("Error reading 2012/05/17/0001.JPG (5: Input/output error)")}));
    for (QMessageBox::Icon icon : boxes.icons) QCOMPARE(icon, QMessageBox::Critical);
    // An unknown state changes nothing.
    r.state = 9;
    d.handleRecoveryNotify(r);
    QCOMPARE(boxes.texts.size(), 3);
  }

  void theWritingTextNamesTheFileAndItsPositionAndTheRemainingTimeIsZeroWhileNothingIsWritten() {
    RecoveryDialog d(Job(files_));
    RecoveryReport r;
    r.state = RECOVERY_WRITING;
    r.currentFileName = "2012/05/17/0001.JPG";
    r.currentIndex = 1;
    r.fileCount = 12;
    d.handleRecoveryNotify(r);
    QCOMPARE(d.writingText()->text(), QStringLiteral("2012/05/17/0001.JPG (1/12)"));
    for (int i = 0; i < 6; ++i) {
      d.tick();
      QCOMPARE(d.remainingText()->text(), QStringLiteral("0:00:00"));
      QCOMPARE(d.elapsedText()->text(), QStringLiteral("0:00:00"));
    }
    QCOMPARE(d.percentageText()->text(), QStringLiteral("0 %"));
  }

  void cancelDuringACopyClosesTheDialogAndLeavesNoPartialFile() {
    CancelAfterFirstBlock d(Job(files_));
    MessageBoxWatcher boxes;
    QCOMPARE(d.exec(), int(QDialog::Rejected));
    QCOMPARE(d.recoveryState(), int(RECOVERY_CANCELLED));
    QVERIFY(boxes.texts.isEmpty());
    // The small first file is complete; the large second one was stopped
    // after its first block and removed.
    QCOMPARE(FileNamesBelow(out_->path()), std::vector<std::string>{"0001.PNG"});
  }

 private:
  RecoveryJob Job(std::vector<FoundFile> files) {
    RecoveryJob job;
    job.deviceFd = fd_;
    job.files = std::move(files);
    job.destination = out_->path().toStdString();
    job.catalogue = context_.catalogue;
    return job;
  }

  std::unique_ptr<QTemporaryDir> out_;
  AppContext context_;
  int fd_ = -1;
  std::vector<FoundFile> files_;
};

LUMICARVE_UI_TEST_MAIN(RecoveryDialogTest)
#include "recovery_dialog_test.moc"
