// A driver for the dialogs a recovery through the window opens.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QPushButton>
#include <QTimer>

#include "shell/recovery_dialog.h"
#include "shell/recovery_target_dialog.h"

namespace lumicarve::test {

// Answers the folder chooser with `folder`, then closes every message box
// and the recovery dialog once it is done, recording the boxes' texts.
class RecoveryDriver : public QObject {
 public:
  explicit RecoveryDriver(const QString& folder) : folder_(folder) {
    connect(&timer_, &QTimer::timeout, this, &RecoveryDriver::poll);
    timer_.start(20);
  }
  QStringList texts;
  bool chooserSeen = false;
  QString chooserTitle;

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* chooser = qobject_cast<RecoveryTargetDialog*>(modal)) {
      chooserSeen = true;
      chooserTitle = chooser->windowTitle();
      chooser->destinationEdit()->setText(folder_);
      QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      texts << box->text();
      box->accept();
    } else if (auto* dialog = qobject_cast<RecoveryDialog*>(modal)) {
      if (dialog->recoveryState() == RECOVERY_ERROR) dialog->closeButton()->click();
    }
  }
  QString folder_;
  QTimer timer_;
};

}  // namespace lumicarve::test
