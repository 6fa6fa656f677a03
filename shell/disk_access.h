// Read access to disks this user may not open: the window asks the system's
// disk service (udisks2, on the system bus) for a read-only descriptor of the
// one disk, polkit asks the user for permission on the service's behalf, and
// the descriptor becomes the device entry's handle. Everything read through
// it then goes the way of every other device.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "devices/device_table.h"

class QDBusPendingCallWatcher;
class QWidget;

namespace lumicarve {

struct AppContext;
class DeviceEnumerator;

class DiskAccess : public QObject {
  Q_OBJECT

 public:
  // The disk, once opened, is described on the enumerator's workers.
  DiskAccess(AppContext& context, DeviceEnumerator& enumerator, QWidget* window);

  // Asks whether the disk service runs, or can be started, on the system
  // bus, without waiting: `answer` gets the result on `context`'s thread,
  // unless `context` is gone by then. A bus that does not answer in two
  // seconds counts as one without the service.
  static void probeService(QObject* context, std::function<void(bool)> answer);

  // Asks for the disk at `index`, listed without a handle. Answers with
  // deviceOpened, or with a message box that says what to do; the table is
  // then as it was. While one request is pending, another for the same disk
  // only adds its `thenScan`, and one for another disk is ignored. The
  // request stays pending until the opened disk has been described.
  void request(int index, bool thenScan);
  bool pending() const { return !pendingPath_.isEmpty(); }

 signals:
  // The entry at `index` now holds a read-only handle and its full label.
  void deviceOpened(int index, bool thenScan);

 private:
  void answered(QDBusPendingCallWatcher* call);
  void described(const std::string& path, const std::optional<DeviceEntry>& entry);
  // A warning box of the string-table text `textId` with the disk's path in
  // it, and the reason the service gave, if any, after it.
  void tell(uint32_t textId, const QString& path, const QString& reason = QString());

  AppContext& context_;
  DeviceEnumerator& enumerator_;
  QWidget* window_;
  QString pendingPath_;
  bool thenScan_ = false;
};

}  // namespace lumicarve
