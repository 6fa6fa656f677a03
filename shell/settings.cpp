#include "shell/settings.h"

#include <QMainWindow>
#include <QSettings>
#include <QStandardPaths>

#include "shell/app_context.h"
#include "shell/settings_text.h"

namespace lumicarve {
namespace {

QSettings Store() { return QSettings(kOrganisation, kApplication); }

constexpr auto kScanAB = "Scan A B Drives";
constexpr auto kShowSerial = "Show Drive Serial";
constexpr auto kCreateFolders = "Create Data Folders";
constexpr auto kFileFilter = "File Filter";
constexpr auto kSelectedTests = "Selected Tests";
constexpr auto kMisc = "Misc. Parameters";
constexpr auto kDefaultTemplate = "%Y\\%M\\%D\\%4N";

constexpr auto kPreview = "Preview";
constexpr auto kShowThumbnails = "Show Thumbnails";
constexpr auto kLastDestination = "Last Destination";
constexpr auto kGeometry = "Window Geometry";
constexpr auto kState = "Window State";

}  // namespace

void LoadSettings(AppContext& context) {
  QSettings s = Store();
  context.scanABDrives = s.value(kScanAB, 0).toInt();
  context.showDriveSerial = s.value(kShowSerial, 0).toInt();
  context.createDataFolders = s.value(kCreateFolders, 1).toInt();
  CopyCut(s.value(kFileFilter, kDefaultTemplate).toString().toStdString(), context.namingTemplate,
          sizeof context.namingTemplate);
  context.selectedTests = s.value(kSelectedTests, 7).toInt();
  ParseMiscParameters(s.value(kMisc, QString()).toString().toStdString(), context.miscParameters);
  context.previewEnabled = s.value(kPreview, 1).toInt() != 0 ? 1 : 0;
  context.displayFlags = s.value(kShowThumbnails, 0).toInt() != 0 ? 1 : 0;
}

void SaveSettings(const AppContext& context) {
  QSettings s = Store();
  s.setValue(kScanAB, context.scanABDrives);
  s.setValue(kShowSerial, context.showDriveSerial);
  s.setValue(kCreateFolders, context.createDataFolders);
  s.setValue(kFileFilter, QString::fromStdString(context.namingTemplate));
  s.setValue(kMisc, QString::fromStdString(FormatMiscParameters(context.miscParameters)));
  s.setValue(kPreview, context.previewEnabled != 0 ? 1 : 0);
  s.setValue(kShowThumbnails, (context.displayFlags & 1) != 0 ? 1 : 0);
}

QString LastDestination() {
  return Store().value(kLastDestination, QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)).toString();
}

void SaveLastDestination(const QString& folder) { Store().setValue(kLastDestination, folder); }

void RestoreWindowLayout(QMainWindow& window) {
  QSettings s = Store();
  window.restoreGeometry(s.value(kGeometry).toByteArray());
  window.restoreState(s.value(kState).toByteArray());
}

void SaveWindowLayout(const QMainWindow& window) {
  QSettings s = Store();
  s.setValue(kGeometry, window.saveGeometry());
  s.setValue(kState, window.saveState());
}

}  // namespace lumicarve
