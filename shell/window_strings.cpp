#include "shell/window_strings.h"

#include <QCoreApplication>

#include "text/string_table.h"

namespace lumicarve {

QString Text(uint32_t id) { return QCoreApplication::translate("Lumicarve", LoadString(id)); }

}  // namespace lumicarve
