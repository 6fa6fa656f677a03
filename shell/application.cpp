#include "shell/application.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QUrl>

#include "results/temp_dir.h"
#include "shell/main_frame.h"
#include "shell/settings.h"
#include "text/string_table.h"
#include "shell/termination.h"
#include "shell/translations.h"
#include "shell/window_strings.h"

namespace lumicarve {

bool StartApplication(const QStringList& arguments, std::unique_ptr<CMainFrame>& frame) {
  QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplication));
  // The desktop file's name, so a desktop shows the window under its entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.lumicarve.lumicarve"));
  InstallTranslations(QLocale::system());
  // Copies of recovered pictures a killed run left in its temp folder go now.
  RemoveStaleTempDirs();
  frame = std::make_unique<CMainFrame>();
  frame->initialiseDevices();
  // A single file argument opens that file, as a document would be opened.
  if (arguments.size() > 1) frame->openDiskImage(arguments.at(1));
  frame->show();
  return true;
}

int RunWindow(QApplication& app, const std::function<void(CMainFrame&)>& started) {
  int signalled = 0;
  std::unique_ptr<CMainFrame> frame;
  InstallTerminationSignals(&app, [&signalled, &frame](int signal) {
    signalled = signal;
    if (frame && frame->context().scanState.load() == SCAN_RUNNING) frame->CancelScan();
    // Every event loop returns, a modal dialog's too; the window's teardown
    // below waits for the scan, the thumbnail worker and a recovery, whose
    // file being written is removed.
    QCoreApplication::exit(128 + signal);
  });
  int result = 1;
  if (StartApplication(QApplication::arguments(), frame)) {
    if (started && !signalled) started(*frame);
    // A signal handled in a message box of the start-up ends the program
    // before the main loop, which would otherwise start afresh.
    if (!signalled) result = app.exec();
  }
  frame.reset();
  ReleaseTerminationReceiver();
  // Nothing writes into the folder any more.
  RemovePrivateTempDir();
  return signalled ? 128 + signalled : result;
}

int OpenManualAt(QWidget* owner, const QString& path) {
  int error = 0;
  if (!QFileInfo(path).isFile())
    error = 2;
  else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
    error = 1;
  if (error) {
    // The path lets the user open the manual by other means.
    const QString why = error == 2
                            ? QCoreApplication::translate("OpenManual", "%1 does not exist.")
                            : QCoreApplication::translate(
                                  "OpenManual", "No program to show PDF files opened %1.");
    QString text = QStringLiteral("%1 (%2 %3)\n%4")
                       .arg(Text(IDS_ERROR_OPENING_MANUAL), Text(IDS_ERROR_CODE))
                       .arg(error)
                       .arg(why.arg(QDir::toNativeSeparators(path)));
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplication), text,
                    QMessageBox::Ok, owner);
    box.exec();
  }
  return error;
}

QString ManualPath() {
  const QString programDir = QCoreApplication::applicationDirPath();
  const QString inBuildTree = programDir + QStringLiteral("/lumicarve.pdf");
  if (QFileInfo(inBuildTree).isFile()) return inBuildTree;
  return QDir::cleanPath(programDir + QStringLiteral("/" LUMICARVE_DOC_FROM_BIN "/lumicarve.pdf"));
}

void OpenManual(QWidget* owner) { OpenManualAt(owner, ManualPath()); }

}  // namespace lumicarve
