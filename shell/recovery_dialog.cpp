#include "shell/recovery_dialog.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include "controls/gradient.h"
#include "controls/transparent_static.h"
#include "shell/dialog_units.h"
#include "shell/settings.h"
#include "text/string_table.h"
#include "text/text_format.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

QLabel* Static(const QString& text, const QRect& where, QWidget* parent) {
  auto* label = new CTransparentStatic(text, parent);
  label->setTextColour(Qt::white);
  label->setGeometry(where);
  return label;
}

void Etched(const QRect& where, QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(where);
}

}  // namespace

QString RecoveryErrorText(const RecoveryReport& r) {
  const QString name = QString::fromStdString(r.currentFileName);
  switch (r.error) {
    case RECOVERY_NOTHING_SELECTED:
      return Text(IDS_NO_FILES_SELECTED);
    case RECOVERY_INSUFFICIENT_SPACE:
      return QStringLiteral("%1 %2\n%3: %4, %5: %6")
          .arg(Text(IDS_INSUFFICIENT_SPACE), QString::fromStdString(r.destination), Text(IDS_REQUIRED))
          .arg(r.bytesRequired)
          .arg(Text(IDS_AVAILABLE))
          .arg(r.bytesAvailable);
    case RECOVERY_READ_FAILED:
      return QStringLiteral("%1 %2 (%3)").arg(Text(IDS_ERROR_READING), name).arg(r.systemError);
    default:
      return QStringLiteral("%1 %2 (%3)").arg(Text(IDS_ERROR_WRITING), name).arg(r.systemError);
  }
}

RecoveryDialog::RecoveryDialog(RecoveryJob job, QWidget* parent) : QDialog(parent) {
  worker_ = std::make_unique<RecoveryWorker>(std::move(job), *this);
  buildControls();
  timer_.setInterval(kTimerMs);
  connect(&timer_, &QTimer::timeout, this, &RecoveryDialog::tick);
}

RecoveryDialog::~RecoveryDialog() {
  if (worker_) worker_->Cancel();
  joinWorker();
}

void RecoveryDialog::buildControls() {
  setWindowTitle(tr("Recovering files"));
  setFixedSize(DluSize(302, 125));
  Etched(DluRect(7, 7, 287, 1), this);
  Static(tr("Writing"), DluRect(7, 20, 32, 8), this);
  writing_ = Static(QString(), DluRect(50, 20, 245, 8), this);
  Static(tr("Elapsed:"), DluRect(7, 35, 42, 8), this);
  elapsed_ = Static(QString(), DluRect(50, 35, 80, 8), this);
  Static(tr("Remaining:"), DluRect(7, 50, 42, 8), this);
  remaining_ = Static(QString(), DluRect(50, 50, 80, 8), this);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 1000);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setGeometry(DluRect(7, 65, 254, 14));
  percentage_ = Static(QStringLiteral("0 %"), DluRect(263, 68, 32, 8), this);
  percentage_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Etched(DluRect(7, 95, 288, 1), this);
  ok_ = new QPushButton(tr("OK"), this);
  ok_->setDefault(true);
  ok_->setGeometry(DluRect(75, 104, 50, 14));
  // Closing the dialog must not leave a worker writing behind it: OK waits
  // for the outcome.
  ok_->setEnabled(false);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  cancel_ = new QPushButton(tr("Cancel"), this);
  cancel_->setAutoDefault(false);
  cancel_->setGeometry(DluRect(173, 104, 50, 14));
  connect(cancel_, &QPushButton::clicked, this, &RecoveryDialog::reject);
}

void RecoveryDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  clock_.start();
  elapsedText_ = remainingText_ = QString::fromStdString(FormatDuration(0));
  transferTexts();
  timer_.start();
  thread_ = std::thread([this] { worker_->Run(); });
}

void RecoveryDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintVerticalGradient(p, rect(), QColor(0, 0, 0), QColor(0x28, 0x28, 0x28));
}

void RecoveryDialog::RecoveryNotify(const RecoveryReport& report) {
  QMetaObject::invokeMethod(
      this, [this, &report] { handleRecoveryNotify(report); }, Qt::BlockingQueuedConnection);
}

int RecoveryDialog::handleRecoveryNotify(const RecoveryReport& r) {
  state_ = r.state;
  switch (r.state) {
    case RECOVERY_WRITING:
      writingText_ = QStringLiteral("%1 (%2/%3)")
                         .arg(QString::fromStdString(r.currentFileName))
                         .arg(r.currentIndex)
                         .arg(r.fileCount);
      break;
    case RECOVERY_CANCELLED:
      stopTimer();
      workerDone_ = true;
      QDialog::reject();
      break;
    case RECOVERY_COMPLETE:
      stopTimer();
      finished();
      if (r.filesSkipped == 0) {
        showMessage(QMessageBox::Information, Text(IDS_EXTRACTION_COMPLETE));
      } else {
        // A link or a file stood where a folder should be: those files alone were not saved.
        showMessage(QMessageBox::Warning, QStringLiteral("%1\n%2 %3 (%4) [%5]")
                                              .arg(Text(IDS_EXTRACTION_COMPLETE), Text(IDS_ERROR_WRITING),
                                                   QString::fromStdString(r.firstSkipped))
                                              .arg(r.skippedError)
                                              .arg(r.filesSkipped));
      }
      break;
    case RECOVERY_ERROR:
      stopTimer();
      finished();
      showMessage(QMessageBox::Critical, RecoveryErrorText(r));
      break;
    default:
      break;
  }
  transferTexts();
  return 1;
}

void RecoveryDialog::finished() {
  workerDone_ = true;
  ok_->setEnabled(true);
}

void RecoveryDialog::stopTimer() {
  if (!timer_.isActive()) return;
  timer_.stop();
  // The last tick's figures would be up to half a second old.
  tick();
}

void RecoveryDialog::showMessage(int icon, const QString& text) {
  QMessageBox box(static_cast<QMessageBox::Icon>(icon), QString::fromLatin1(kApplication), text,
                  QMessageBox::Ok, this);
  box.exec();
}

void RecoveryDialog::tick() {
  const int64_t elapsed = clock_.isValid() ? clock_.elapsed() / 1000 : 0;
  elapsedText_ = QString::fromStdString(FormatDuration(static_cast<int32_t>(elapsed)));
  const int64_t written = worker_->bytesWritten();
  const int64_t required = worker_->bytesRequired();
  if (tickCount_ % 5 == 0) {
    int64_t remaining = 0;
    // In floating point: bytes times seconds overflows 64 bits for a large
    // recovery that runs for hours.
    if (written > 0)
      remaining = static_cast<int64_t>(static_cast<double>(required) * static_cast<double>(elapsed) /
                                       static_cast<double>(written)) -
                  elapsed;
    remainingText_ = QString::fromStdString(FormatDuration(static_cast<int32_t>(remaining < 0 ? 0 : remaining)));
  }
  ++tickCount_;
  const int perMille = required > 0 ? static_cast<int>(written * 1000.0 / static_cast<double>(required)) : 0;
  progress_->setValue(perMille);
  percentage_->setText(QStringLiteral("%1 %").arg(perMille / 10));
  transferTexts();
}

void RecoveryDialog::transferTexts() {
  writing_->setText(writingText_);
  elapsed_->setText(elapsedText_);
  remaining_->setText(remainingText_);
}

void RecoveryDialog::reject() {
  if (!started_ || workerDone_) {
    QDialog::reject();
    return;
  }
  // The worker stops before its next block and answers with "cancelled",
  // which closes the dialog.
  worker_->Cancel();
}

void RecoveryDialog::joinWorker() {
  if (!thread_.joinable()) return;
  // The worker may be blocked in a call to this thread.
  while (!workerDone_) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QThread::msleep(2);
  }
  thread_.join();
}

}  // namespace lumicarve
