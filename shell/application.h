// Start-up of the program and the Help command that opens the manual.
#pragma once

#include <QStringList>

#include <memory>

class QWidget;

namespace lumicarve {

class CMainFrame;

// Creates the main frame, builds the device table, opens a single file
// argument as a disk image, and shows the window. False ends the program.
bool StartApplication(const QStringList& arguments, std::unique_ptr<CMainFrame>& frame);

// Opens lumicarve.pdf from the executable's folder; tells the user
// "Error opening manual (error code N)" when it cannot: 2 when the file is
// missing, 1 when opening it fails otherwise.
void OpenManual(QWidget* owner);
// The same for a manual at `path`. Returns the error code, 0 when opened.
int OpenManualAt(QWidget* owner, const QString& path);

}  // namespace lumicarve
