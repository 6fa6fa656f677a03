#include "shell/window_strings.h"

#include <QCoreApplication>
#include <QLocale>

#include "devices/disk_query.h"
#include "text/string_table.h"
#include "text/text_format.h"

namespace lumicarve {

QString Text(uint32_t id) { return QCoreApplication::translate("Lumicarve", LoadString(id)); }

QString SizeText(uint64_t bytes) {
  const SizeParts size = SplitSize(bytes);
  if (bytes < 1000)
    return bytes == 1 ? QCoreApplication::translate("Lumicarve", "1 byte")
                      : QCoreApplication::translate("Lumicarve", "%1 bytes").arg(bytes);
  const QLocale locale;
  QString number = QString::number(size.whole);
  if (size.tenths >= 0) number += locale.decimalPoint() + QString::number(size.tenths);
  return number + QLatin1Char(' ') + QLatin1String(size.unit);
}

QString MessageText(const Message& message) {
  const QByteArray format = QCoreApplication::translate("Lumicarve", message.format).toUtf8();
  return QString::fromStdString(Message{format.constData(), message.args}.Text());
}

QString DeviceLabelText(const DeviceEntry& entry) {
  const std::string tag = QCoreApplication::translate("Lumicarve", kImageTag).toStdString();
  return QString::fromStdString(DeviceLabel(entry, SizeText(entry.totalBytes).toStdString(), tag));
}

QString PercentText(double percent) { return QLocale().toString(percent, 'f', 1) + QStringLiteral(" %"); }

}  // namespace lumicarve
