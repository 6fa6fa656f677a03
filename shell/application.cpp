#include "shell/application.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "shell/main_frame.h"
#include "shell/settings.h"
#include "shell/string_table.h"
#include "shell/window_strings.h"

namespace lumicarve {

bool StartApplication(const QStringList& arguments, std::unique_ptr<CMainFrame>& frame) {
  QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplication));
  frame = std::make_unique<CMainFrame>();
  frame->initialiseDevices();
  // A single file argument opens that file, as a document would be opened.
  if (arguments.size() > 1) frame->openDiskImage(arguments.at(1));
  frame->show();
  return true;
}

int OpenManualAt(QWidget* owner, const QString& path) {
  int error = 0;
  if (!QFileInfo(path).isFile())
    error = 2;
  else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
    error = 1;
  if (error) {
    QString text = QStringLiteral("%1 (%2 %3)")
                       .arg(Text(IDS_ERROR_OPENING_MANUAL), Text(IDS_ERROR_CODE))
                       .arg(error);
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplication), text,
                    QMessageBox::Ok, owner);
    box.exec();
  }
  return error;
}

void OpenManual(QWidget* owner) {
  OpenManualAt(owner, QCoreApplication::applicationDirPath() + QStringLiteral("/lumicarve.pdf"));
}

}  // namespace lumicarve
