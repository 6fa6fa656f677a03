// "Recovering files": runs the recovery worker on its own thread and shows
// the file being written, the elapsed and remaining time and the share of
// bytes written, then the outcome in a message box. A completed recovery,
// and one that wrote nothing, close the dialog after their message.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>
#include <optional>

#include "recovery/recovery_worker.h"

class QLabel;
class QProgressBar;
class QThread;
class QPushButton;

namespace lumicarve {

class RecoveryDialog : public QDialog, public RecoverySink {
  Q_OBJECT

 public:
  static constexpr int kTimerMs = 500;

  RecoveryDialog(RecoveryJob job, QWidget* parent = nullptr);
  ~RecoveryDialog() override;

  // Called on the worker's thread; queues the report for the dialog's thread.
  void RecoveryNotify(const RecoveryReport& report) override;
  // Shows the worker's report, on the window's thread.
  void handleRecoveryNotify(const RecoveryReport& report);
  // One timer tick: elapsed time, every fifth tick the remaining time.
  void tick();

  int32_t recoveryState() const { return state_; }
  bool timerActive() const { return timer_.isActive(); }
  QLabel* writingText() const { return writing_; }
  QLabel* elapsedText() const { return elapsed_; }
  QLabel* remainingText() const { return remaining_; }
  QLabel* percentageText() const { return percentage_; }
  QProgressBar* progressBar() const { return progress_; }
  // "Cancel" while writing, "Close" afterwards.
  QPushButton* closeButton() const { return button_; }

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void buildControls();
  void stopTimer();
  void finished();
  // "Extraction complete", how many files went where, and a button that
  // opens that folder.
  void showCompletion(const RecoveryReport& report);
  void showMessage(int icon, const QString& text);
  void transferTexts();
  // Closes with `result` now, or as soon as the worker's thread has
  // finished, so a closed dialog never leaves a worker behind.
  void closeOnceEnded(int result);
  void workerEnded();

  QString destination_;
  int fileCount_ = 0;
  std::unique_ptr<RecoveryWorker> worker_;
  QThread* thread_ = nullptr;
  std::optional<int> closeWith_;
  bool started_ = false;
  bool workerDone_ = false;
  int32_t state_ = 0;
  int64_t bytesRequired_ = 0;
  QElapsedTimer clock_;
  QTimer timer_;
  int tickCount_ = 0;
  QString writingText_, elapsedText_, remainingText_;
  QLabel* writing_ = nullptr;
  QLabel* elapsed_ = nullptr;
  QLabel* remaining_ = nullptr;
  QLabel* percentage_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* button_ = nullptr;
};

// The message of an error report, as the dialog shows it.
QString RecoveryErrorText(const RecoveryReport& report);

}  // namespace lumicarve
