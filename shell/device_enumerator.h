// Lists the disks and describes each new one on worker threads, so neither a
// slow disk nor a hung USB bridge holds the window up: first the listing,
// then each disk the moment it is described (a slow one holds back no
// other), then the end. Only values come back, on the window's thread, in
// the order the workers produced them. The workers never wait for the
// window; one that ends after the window has gone closes what it opened.
// Whoever takes a described entry takes its handle.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/device_list.h"

namespace lumicarve {

class DeviceEnumerator : public QObject {
  Q_OBJECT

 public:
  // Describes one disk; runs on a worker thread of its own.
  using Describer = std::function<std::optional<DeviceEntry>(const BlockDisk& disk, bool* denied)>;

  // Lists the disks of `sysRoot` ("/" on a real system); disks this user may
  // not open are described from sysfs, waiting for access.
  explicit DeviceEnumerator(QObject* parent = nullptr, const std::string& sysRoot = "/");
  ~DeviceEnumerator() override;

  // Replaces how a disk is described (a test makes one disk slow this way).
  void setDescriber(Describer describer) { describer_ = std::move(describer); }

  // Lists the disks present now and describes those whose path is not in
  // `known`. False, doing nothing, while an enumeration runs.
  bool start(std::vector<std::string> known);
  bool running() const { return running_; }

  // Describes the disk through `fd`, a descriptor the system gave for it
  // (checked already): answers with adopted. Runs beside an enumeration.
  void describeAdopted(const BlockDisk& disk, int fd);

 signals:
  // The disks present now, in the table's order, before any is described.
  void listed(const std::vector<BlockDisk>& present);
  // A new disk, described; no entry when it is not to be listed. `denied`:
  // this user may not open it.
  void described(const std::optional<DeviceEntry>& entry, bool denied);
  // Every new disk of this enumeration has been described.
  void finished();
  // The disk at `path` described through an adopted descriptor; no entry
  // when it holds no medium that can be read (the descriptor is closed).
  void adopted(const std::string& path, const std::optional<DeviceEntry>& entry);

 private:
  struct Shared;
  void drain();

  Describer describer_;
  std::string sysRoot_;
  std::shared_ptr<Shared> shared_;
  bool running_ = false;
};

}  // namespace lumicarve
