// The window's language: the program's own translation, built into the
// program, and Qt's for its standard dialogs and buttons.
#pragma once

class QLocale;

namespace lumicarve {

// Replaces the translations installed by an earlier call with those for
// `locale` and makes it the default locale of the window's numbers. Returns
// whether the program has a translation for it (English needs none).
bool InstallTranslations(const QLocale& locale);

}  // namespace lumicarve
