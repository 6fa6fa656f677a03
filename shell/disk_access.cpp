#include "shell/disk_access.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <string>

#include "devices/device_list.h"
#include "shell/app_context.h"
#include "shell/device_enumerator.h"
#include "shell/settings.h"
#include "shell/window_strings.h"
#include "text/string_table.h"

namespace lumicarve {
namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kBlockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
// The user may take a while to answer the permission prompt.
constexpr int kAnswerTimeoutMs = 30 * 60 * 1000;

// The service's object for a kernel disk name: letters and digits kept, every
// other byte written as _xx.
QString BlockObjectPath(const QString& devNode) {
  const QByteArray name = devNode.mid(devNode.lastIndexOf(QLatin1Char('/')) + 1).toUtf8();
  QString path = QStringLiteral("/org/freedesktop/UDisks2/block_devices/");
  for (char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
      path += QLatin1Char(c);
    else
      path += QStringLiteral("_%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'));
  }
  return path;
}

bool ServiceMissing(const QString& errorName) {
  return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
         errorName == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
         errorName == QLatin1String("org.freedesktop.DBus.Error.NoServer") ||
         errorName == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
         errorName.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn"));
}

}  // namespace

DiskAccess::DiskAccess(AppContext& context, DeviceEnumerator& enumerator, QWidget* window)
    : QObject(window), context_(context), enumerator_(enumerator), window_(window) {
  connect(&enumerator_, &DeviceEnumerator::adopted, this, &DiskAccess::described);
}

namespace {

// The bus daemon answers in microseconds; one that does not answer in two
// seconds is taken to have no service, rather than leave the question open
// for the default 25 seconds of each call.
constexpr int kBusProbeTimeoutMs = 2000;

QDBusMessage BusCall(const QString& method, const QVariantList& arguments = {}) {
  QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                     QStringLiteral("/org/freedesktop/DBus"),
                                                     QStringLiteral("org.freedesktop.DBus"), method);
  call.setArguments(arguments);
  return call;
}

// Calls `then` with the bus's answer to `call`, on `context`'s thread and
// only while `context` lives.
void AskBus(const QDBusConnection& bus, const QDBusMessage& call, QObject* context,
            std::function<void(const QDBusMessage&)> then) {
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kBusProbeTimeoutMs), context);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                   [then = std::move(then)](QDBusPendingCallWatcher* answered) {
                     answered->deleteLater();
                     then(answered->reply());
                   });
}

}  // namespace

void DiskAccess::probeService(QObject* context, std::function<void(bool)> answer) {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) {
    QTimer::singleShot(0, context, [answer = std::move(answer)] { answer(false); });
    return;
  }
  AskBus(bus, BusCall(QStringLiteral("NameHasOwner"), {kService}), context,
         [bus, context, answer = std::move(answer)](const QDBusMessage& owned) {
           if (owned.type() != QDBusMessage::ReplyMessage) return answer(false);
           if (owned.arguments().value(0).toBool()) return answer(true);
           // Desktop systems start the service on the first call to it.
           AskBus(bus, BusCall(QStringLiteral("ListActivatableNames")), context,
                  [answer](const QDBusMessage& names) {
                    answer(names.type() == QDBusMessage::ReplyMessage &&
                           names.arguments().value(0).toStringList().contains(kService));
                  });
         });
}

void DiskAccess::request(int index, bool thenScan) {
  if (index < 0 || index >= context_.deviceCount || !context_.devices[index].needsAccess) return;
  const QString path = QString::fromUtf8(context_.devices[index].path);
  if (pending()) {
    if (path == pendingPath_) thenScan_ = thenScan_ || thenScan;
    return;
  }
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) {
    tell(IDS_ACCESS_SERVICE_MISSING, path);
    return;
  }
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, BlockObjectPath(path), kBlockInterface, QStringLiteral("OpenDevice"));
  call << QStringLiteral("r") << QVariantMap();
  // Lets polkit ask the user for permission instead of refusing at once.
  call.setInteractiveAuthorizationAllowed(true);
  pendingPath_ = path;
  thenScan_ = thenScan;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &DiskAccess::answered);
}

void DiskAccess::answered(QDBusPendingCallWatcher* call) {
  call->deleteLater();
  const QString path = pendingPath_;
  QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
  if (reply.isError()) {
    pendingPath_.clear();
    thenScan_ = false;
    const QDBusError error = reply.error();
    if (ServiceMissing(error.name()))
      tell(IDS_ACCESS_SERVICE_MISSING, path);
    // Not authorised, though it could have been: nothing could ask the user.
    else if (error.name() == QLatin1String("org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain"))
      tell(IDS_ACCESS_NO_PROMPT, path);
    else if (error.name().startsWith(QLatin1String("org.freedesktop.UDisks2.Error.NotAuthorized")))
      tell(IDS_ACCESS_REFUSED, path);
    else
      tell(IDS_ACCESS_FAILED, path, error.message());
    return;
  }
  // The table may have been rebuilt while the user answered: find the disk
  // again by its path.
  int index = -1;
  for (int i = 0; i < context_.deviceCount; ++i)
    if (context_.devices[i].needsAccess && path == QString::fromUtf8(context_.devices[i].path)) index = i;
  if (index < 0) {
    pendingPath_.clear();
    thenScan_ = false;
    return;
  }
  // The reply closes its own descriptor; the table keeps a duplicate.
  const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
  std::string why;
  const std::optional<BlockDisk> disk =
      fd < 0 ? std::nullopt : CheckAdoptedDescriptor(context_, index, fd, &why);
  if (!disk) {
    pendingPath_.clear();
    thenScan_ = false;
    tell(IDS_ACCESS_FAILED, path, QString::fromStdString(why));
    return;
  }
  // Identifying the disk may take seconds: not on the window's thread.
  enumerator_.describeAdopted(*disk, fd);
}

void DiskAccess::described(const std::string& path, const std::optional<DeviceEntry>& entry) {
  if (QString::fromStdString(path) != pendingPath_) {
    if (entry && entry->handle >= 0) ::close(entry->handle);
    return;
  }
  const bool thenScan = thenScan_;
  pendingPath_.clear();
  thenScan_ = false;
  if (!entry) {
    tell(IDS_ACCESS_FAILED, QString::fromStdString(path),
         QString::fromStdString(path + " holds no medium that can be read"));
    return;
  }
  const int index = PlaceAdoptedEntry(context_, *entry);
  if (index >= 0) emit deviceOpened(index, thenScan);
}

void DiskAccess::tell(uint32_t textId, const QString& path, const QString& reason) {
  QString text = Text(textId).replace(QLatin1String("%s"), path);
  if (!reason.isEmpty()) text += QLatin1Char(' ') + reason;
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kApplication), text, QMessageBox::Ok, window_);
  box.exec();
}

}  // namespace lumicarve
