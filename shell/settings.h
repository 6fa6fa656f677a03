// The per-user settings store: QSettings("Lumicarve", "Lumicarve"), values
// directly in the top section with the names and defaults below.
#pragma once

class QMainWindow;
class QString;

namespace lumicarve {

struct AppContext;

inline constexpr const char* kOrganisation = "Lumicarve";
inline constexpr const char* kApplication = "Lumicarve";

// "Scan A B Drives", "Show Drive Serial", "Create Data Folders", "File Filter",
// "Selected Tests" (read only) and "Misc. Parameters", in that order, then
// the switches "Preview" (default on) and "Show Thumbnails" (default off); a
// missing value gives its default.
void LoadSettings(AppContext& context);
// The same without "Selected Tests".
void SaveSettings(const AppContext& context);

// The folder the last recovery saved into; the user's pictures folder
// before the first.
QString LastDestination();
void SaveLastDestination(const QString& folder);

// The window's size, position and dock layout, under names of their own.
void RestoreWindowLayout(QMainWindow& window);
void SaveWindowLayout(const QMainWindow& window);

}  // namespace lumicarve
