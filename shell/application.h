// Start-up of the program and the Help command that opens the manual.
#pragma once

#include <QStringList>

#include <functional>
#include <memory>

class QApplication;
class QWidget;

namespace lumicarve {

class CMainFrame;

// Creates the main frame, builds the device table, opens a single file
// argument as a disk image, and shows the window. False ends the program.
bool StartApplication(const QStringList& arguments, std::unique_ptr<CMainFrame>& frame);

// The program: starts the window and runs it until it is closed, or until
// SIGINT, SIGTERM or SIGHUP, which stop a running scan, thumbnail worker or
// recovery and end with status 128 + the signal's number. The private temp
// folder is gone when it returns. `started`, when given, is called with the
// shown window before the event loop runs.
int RunWindow(QApplication& app, const std::function<void(CMainFrame&)>& started = {});

// The manual: lumicarve.pdf beside the program in a build tree, else in the
// documentation folder of the installation the program belongs to.
QString ManualPath();

// Opens the manual at ManualPath(); tells the user
// "Error opening manual (error code N)" when it cannot: 2 when the file is
// missing, 1 when opening it fails otherwise.
void OpenManual(QWidget* owner);
// The same for a manual at `path`. Returns the error code, 0 when opened.
int OpenManualAt(QWidget* owner, const QString& path);

}  // namespace lumicarve
