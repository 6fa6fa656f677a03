// Marks an engine text for the window's translations: lupdate finds the texts
// by this macro's name, the window translates them in the context
// "Lumicarve", and the command line shows them as they stand. The definition
// is Qt's own, token for token, so a file that also includes Qt's headers
// gets no second, different one.
#pragma once

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif
