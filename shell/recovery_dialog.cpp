#include "shell/recovery_dialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QUrl>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include <cstring>
#include <utility>

#include "controls/gradient.h"
#include "controls/transparent_static.h"
#include "shell/dialog_units.h"
#include "shell/settings.h"
#include "text/string_table.h"
#include "text/text_format.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

QLabel* Static(const QString& text, QWidget* parent) {
  auto* label = new CTransparentStatic(text, parent);
  label->setTextColour(Qt::white);
  return label;
}

QFrame* Etched(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

QString Size(int64_t bytes) { return SizeText(bytes < 0 ? 0 : static_cast<uint64_t>(bytes)); }

// "28: No space left on device": the number and what it means.
QString SystemError(int error) {
  return QStringLiteral("%1: %2").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
}

}  // namespace

QString RecoveryErrorText(const RecoveryReport& r) {
  const QString name = QString::fromStdString(r.currentFileName);
  switch (r.error) {
    case RECOVERY_NOTHING_SELECTED:
      return Text(IDS_NO_FILES_SELECTED);
    case RECOVERY_INSUFFICIENT_SPACE:
      return QStringLiteral("%1 %2\n%3: %4, %5: %6")
          .arg(Text(IDS_INSUFFICIENT_SPACE), QString::fromStdString(r.destination), Text(IDS_REQUIRED),
               Size(r.bytesRequired), Text(IDS_AVAILABLE), Size(r.bytesAvailable));
    case RECOVERY_READ_FAILED:
      return QStringLiteral("%1 %2 (%3)").arg(Text(IDS_ERROR_READING), name, SystemError(r.systemError));
    default:
      return QStringLiteral("%1 %2 (%3)").arg(Text(IDS_ERROR_WRITING), name, SystemError(r.systemError));
  }
}

RecoveryDialog::RecoveryDialog(RecoveryJob job, QWidget* parent)
    : QDialog(parent),
      destination_(QString::fromStdString(job.destination)),
      fileCount_(static_cast<int>(job.files.size())) {
  worker_ = std::make_unique<RecoveryWorker>(std::move(job), *this);
  buildControls();
  timer_.setInterval(kTimerMs);
  connect(&timer_, &QTimer::timeout, this, &RecoveryDialog::tick);
}

RecoveryDialog::~RecoveryDialog() {
  // The dialog closes only once the worker's thread has finished; a dialog
  // destroyed earlier (the program ending) stops it before its next block.
  // The worker never waits for this thread, so the wait is short.
  if (worker_) worker_->Cancel();
  if (thread_) thread_->wait();
}

void RecoveryDialog::buildControls() {
  setWindowTitle(tr("Recovering files"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(Etched(this), 0, 0, 1, 3);
  grid->addWidget(Static(tr("Writing:"), this), 1, 0);
  writing_ = Static(QString(), this);
  writing_->setMinimumWidth(DluSize(245, 8).width());
  grid->addWidget(writing_, 1, 1, 1, 2);
  grid->addWidget(Static(tr("Elapsed:"), this), 2, 0);
  elapsed_ = Static(QString(), this);
  grid->addWidget(elapsed_, 2, 1, 1, 2);
  grid->addWidget(Static(tr("Remaining:"), this), 3, 0);
  remaining_ = Static(QString(), this);
  grid->addWidget(remaining_, 3, 1, 1, 2);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 1000);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  grid->addWidget(progress_, 4, 0, 1, 2);
  percentage_ = Static(QStringLiteral("0 %"), this);
  percentage_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  percentage_->setMinimumWidth(QFontMetrics(percentage_->font()).horizontalAdvance(QStringLiteral("100 %")));
  grid->addWidget(percentage_, 4, 2);
  grid->addWidget(Etched(this), 5, 0, 1, 3);
  // One button: Cancel while the worker writes, Close once it has ended.
  button_ = new QPushButton(Text(IDS_CANCEL), this);
  button_->setObjectName(QStringLiteral("closeButton"));
  button_->setDefault(true);
  connect(button_, &QPushButton::clicked, this, &RecoveryDialog::reject);
  grid->addWidget(button_, 6, 0, 1, 3, Qt::AlignHCenter);
  grid->setColumnStretch(1, 1);
  grid->setSizeConstraint(QLayout::SetFixedSize);
}

void RecoveryDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  clock_.start();
  elapsedText_ = remainingText_ = QString::fromStdString(FormatDuration(0));
  transferTexts();
  timer_.start();
  thread_ = QThread::create([this] { worker_->Run(); });
  thread_->setParent(this);
  connect(thread_, &QThread::finished, this, &RecoveryDialog::workerEnded);
  thread_->start();
}

void RecoveryDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintVerticalGradient(p, rect(), QColor(0, 0, 0), QColor(0x28, 0x28, 0x28));
}

void RecoveryDialog::RecoveryNotify(const RecoveryReport& report) {
  // A copy is queued: the worker goes on at once, and the reports are
  // handled in the order it made them.
  QMetaObject::invokeMethod(
      this, [this, report] { handleRecoveryNotify(report); }, Qt::QueuedConnection);
}

void RecoveryDialog::handleRecoveryNotify(const RecoveryReport& r) {
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
      closeOnceEnded(QDialog::Rejected);
      break;
    case RECOVERY_COMPLETE:
      stopTimer();
      finished();
      transferTexts();
      showCompletion(r);
      // The report has said all there is; the box would only wait for a click.
      closeOnceEnded(QDialog::Accepted);
      break;
    case RECOVERY_ERROR:
      stopTimer();
      finished();
      transferTexts();
      showMessage(QMessageBox::Critical, RecoveryErrorText(r));
      // Nothing was written: no progress to look at.
      if (r.error == RECOVERY_NOTHING_SELECTED || r.error == RECOVERY_INSUFFICIENT_SPACE)
        closeOnceEnded(QDialog::Rejected);
      break;
    default:
      break;
  }
  transferTexts();
}

void RecoveryDialog::finished() {
  workerDone_ = true;
  button_->setText(tr("Close"));
}

void RecoveryDialog::showCompletion(const RecoveryReport& r) {
  const QString& folder = destination_;
  QString text = Text(IDS_EXTRACTION_COMPLETE);
  // A link or a file stood where a folder should be: those files alone were not saved.
  if (r.filesSkipped != 0)
    text = QStringLiteral("%1\n%2 %3 (%4) [%5]")
               .arg(Text(IDS_EXTRACTION_COMPLETE), Text(IDS_ERROR_WRITING), QString::fromStdString(r.firstSkipped))
               .arg(r.skippedError)
               .arg(r.filesSkipped);
  QMessageBox box(r.filesSkipped == 0 ? QMessageBox::Information : QMessageBox::Warning,
                  QString::fromLatin1(kApplication), text, QMessageBox::Ok, this);
  box.setInformativeText(
      tr("%1 files saved in %2.", nullptr, fileCount_ - r.filesSkipped)
          .arg(fileCount_ - r.filesSkipped).arg(QDir::toNativeSeparators(folder)));
  QPushButton* open = box.addButton(tr("Open folder"), QMessageBox::ActionRole);
  open->setObjectName(QStringLiteral("openFolderButton"));
  box.exec();
  if (box.clickedButton() == open) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
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
    closeOnceEnded(QDialog::Rejected);
    return;
  }
  // The worker stops before its next block and answers with "cancelled",
  // which closes the dialog.
  worker_->Cancel();
}

void RecoveryDialog::closeOnceEnded(int result) {
  if (!thread_ || thread_->isFinished())
    done(result);
  else
    closeWith_ = result;
}

void RecoveryDialog::workerEnded() {
  if (closeWith_) done(*std::exchange(closeWith_, std::nullopt));
}

}  // namespace lumicarve
