#include "shell/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace lumicarve {
namespace {

std::unique_ptr<QTranslator> ownTranslator;
std::unique_ptr<QTranslator> qtTranslator;

void Install(std::unique_ptr<QTranslator>& slot, const QLocale& locale, const QString& name,
             const QString& folder) {
  if (slot) QCoreApplication::removeTranslator(slot.get());
  slot = std::make_unique<QTranslator>();
  // load() tries the locale's languages in turn: de_DE, then de.
  if (slot->load(locale, name, QStringLiteral("_"), folder))
    QCoreApplication::installTranslator(slot.get());
  else
    slot.reset();
}

}  // namespace

bool InstallTranslations(const QLocale& locale) {
  QLocale::setDefault(locale);
  Install(qtTranslator, locale, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  Install(ownTranslator, locale, QStringLiteral("lumicarve"), QStringLiteral(":/i18n"));
  return ownTranslator != nullptr;
}

}  // namespace lumicarve
