// Notices disks coming and going while the window runs: from the disk
// service's object signals on the system bus where that service runs, else
// from the kernel's device events, else by looking at /sys/block every two
// seconds. The bus is asked without waiting, the kernel's events serving
// meanwhile. A burst of events gives one devicesChanged.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class QDBusMessage;
class QSocketNotifier;

namespace lumicarve {

class DeviceWatch : public QObject {
  Q_OBJECT

 public:
  enum class Source { DiskService, KernelEvents, SysfsPolling };

  explicit DeviceWatch(QObject* parent = nullptr);
  ~DeviceWatch() override;
  Source source() const { return source_; }
  // The bus has answered whether the disk service runs; until then the
  // kernel's events (or polling) serve.
  bool settled() const { return settled_; }

 signals:
  void devicesChanged();

 private slots:
  // InterfacesAdded / InterfacesRemoved of the disk service's objects.
  void serviceObjectsChanged(const QDBusMessage& message);

 private:
  bool watchDiskService();
  bool watchKernelEvents();
  void readKernelEvents();
  void pollSysfs();

  Source source_ = Source::SysfsPolling;
  bool settled_ = false;
  QTimer settle_;
  QTimer poll_;
  int uevents_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  QStringList lastDisks_;
};

}  // namespace lumicarve
