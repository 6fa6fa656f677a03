#include "shell/device_watch.h"

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include "shell/disk_access.h"

namespace lumicarve {
namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kRoot = QStringLiteral("/org/freedesktop/UDisks2");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");

// One event of the kernel: "change@/devices/virtual/block/loop1" followed by
// NUL-separated KEY=value lines. Only whole disks and partitions matter.
bool IsBlockEvent(const QByteArray& event) {
  for (const QByteArray& field : event.split('\0'))
    if (field == "SUBSYSTEM=block") return true;
  return false;
}

// The disks of /sys/block with their lengths: a card put into a reader
// changes a length, not the list of names.
QStringList SysfsDisks() {
  QStringList disks;
  const QDir dir(QStringLiteral("/sys/block"));
  for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    QFile size(dir.filePath(name + QStringLiteral("/size")));
    disks << name + QLatin1Char(' ') +
                 (size.open(QIODevice::ReadOnly) ? QString::fromLatin1(size.readAll().trimmed()) : QString());
  }
  return disks;
}

}  // namespace

DeviceWatch::DeviceWatch(QObject* parent) : QObject(parent) {
  // Attaching a disk makes several events in a row (the disk, then each
  // partition): the table is rebuilt once they have settled.
  settle_.setSingleShot(true);
  settle_.setInterval(300);
  connect(&settle_, &QTimer::timeout, this, &DeviceWatch::devicesChanged);
  // The kernel's events (or a look at /sys/block) serve from the start; the
  // disk service takes over once the bus says it runs.
  if (watchKernelEvents()) {
    source_ = Source::KernelEvents;
  } else {
    source_ = Source::SysfsPolling;
    lastDisks_ = SysfsDisks();
    connect(&poll_, &QTimer::timeout, this, &DeviceWatch::pollSysfs);
    poll_.start(2000);
  }
  DiskAccess::probeService(this, [this](bool available) {
    if (available && watchDiskService()) {
      poll_.stop();
      delete notifier_;
      notifier_ = nullptr;
      if (uevents_ >= 0) ::close(uevents_);
      uevents_ = -1;
      source_ = Source::DiskService;
    }
    settled_ = true;
  });
}

DeviceWatch::~DeviceWatch() {
  if (uevents_ >= 0) ::close(uevents_);
}

bool DeviceWatch::watchDiskService() {
  QDBusConnection bus = QDBusConnection::systemBus();
  // A service that is only activatable sends nothing until it runs: start it,
  // without waiting for it (a running one answers that it runs already).
  bus.interface()->asyncCall(QStringLiteral("StartServiceByName"), kService, 0u);
  for (const char* signal : {"InterfacesAdded", "InterfacesRemoved"})
    if (!bus.connect(kService, kRoot, kObjectManager, QString::fromLatin1(signal), this,
                     SLOT(serviceObjectsChanged(QDBusMessage))))
      return false;
  return true;
}

void DeviceWatch::serviceObjectsChanged(const QDBusMessage& message) {
  if (message.arguments().isEmpty()) return;
  const QString path = message.arguments().at(0).value<QDBusObjectPath>().path();
  // Jobs and other objects of the service come and go too; only block
  // devices and drives change the table.
  if (path.startsWith(kRoot + QStringLiteral("/block_devices/")) ||
      path.startsWith(kRoot + QStringLiteral("/drives/")))
    settle_.start();
}

bool DeviceWatch::watchKernelEvents() {
  uevents_ = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
  if (uevents_ < 0) return false;
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = 1;  // the kernel's own events; no device manager needed
  if (::bind(uevents_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(uevents_);
    uevents_ = -1;
    return false;
  }
  notifier_ = new QSocketNotifier(uevents_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &DeviceWatch::readKernelEvents);
  return true;
}

void DeviceWatch::readKernelEvents() {
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::recv(uevents_, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    if (IsBlockEvent(QByteArray(buffer, static_cast<int>(n)))) settle_.start();
  }
}

void DeviceWatch::pollSysfs() {
  QStringList disks = SysfsDisks();
  if (disks == lastDisks_) return;
  lastDisks_ = disks;
  emit devicesChanged();
}

}  // namespace lumicarve
