#include "shell/device_enumerator.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace lumicarve {
namespace {

struct Report {
  enum Kind { kListed, kDescribed, kFinished, kAdopted } kind;
  std::vector<BlockDisk> present;  // the listing; the adopted disk
  std::optional<DeviceEntry> entry;
  bool denied = false;
};

void CloseEntry(const std::optional<DeviceEntry>& entry) {
  if (entry && entry->handle >= 0) ::close(entry->handle);
}

// Runs `work` on a thread of its own that nobody joins; where no thread can
// be made, on this one.
template <typename Work>
void RunDetached(Work work) {
  try {
    std::thread(work).detach();
  } catch (const std::system_error&) {
    work();
  }
}

}  // namespace

// What the workers and the window share: the reports not yet taken, and the
// window's side, which is null once it has gone.
struct DeviceEnumerator::Shared {
  std::mutex mutex;
  DeviceEnumerator* receiver = nullptr;
  bool drainPosted = false;
  std::deque<Report> reports;

  void post(Report report) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!receiver) {
      CloseEntry(report.entry);
      return;
    }
    reports.push_back(std::move(report));
    // One queued call takes every report waiting by then.
    if (!drainPosted) {
      drainPosted = true;
      QMetaObject::invokeMethod(receiver, &DeviceEnumerator::drain, Qt::QueuedConnection);
    }
  }
};

DeviceEnumerator::DeviceEnumerator(QObject* parent, const std::string& sysRoot)
    : QObject(parent), sysRoot_(sysRoot), shared_(std::make_shared<Shared>()) {
  shared_->receiver = this;
  describer_ = [sysRoot](const BlockDisk& disk, bool* denied) {
    // Disks this user may not open are listed too: choosing one asks the
    // system for permission to read it.
    return DescribeBlockDisk(disk, sysRoot, true, denied);
  };
}

DeviceEnumerator::~DeviceEnumerator() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->receiver = nullptr;
  for (const Report& report : shared_->reports) CloseEntry(report.entry);
  shared_->reports.clear();
}

bool DeviceEnumerator::start(std::vector<std::string> known) {
  if (running_) return false;
  running_ = true;
  RunDetached([shared = shared_, describer = describer_, root = sysRoot_, known = std::move(known)] {
    std::vector<BlockDisk> present = ListBlockDisks(root);
    std::vector<BlockDisk> fresh;
    for (const BlockDisk& disk : present)
      if (std::find(known.begin(), known.end(), disk.devNode) == known.end()) fresh.push_back(disk);
    shared->post({Report::kListed, std::move(present), std::nullopt, false});
    if (fresh.empty()) {
      shared->post({Report::kFinished, {}, std::nullopt, false});
      return;
    }
    auto left = std::make_shared<std::atomic<size_t>>(fresh.size());
    for (const BlockDisk& disk : fresh) {
      RunDetached([shared, describer, disk, left] {
        bool denied = false;
        std::optional<DeviceEntry> entry = describer(disk, &denied);
        shared->post({Report::kDescribed, {}, std::move(entry), denied});
        // The last disk's report comes before the end: both from this thread.
        if (left->fetch_sub(1) == 1) shared->post({Report::kFinished, {}, std::nullopt, false});
      });
    }
  });
  return true;
}

void DeviceEnumerator::describeAdopted(const BlockDisk& disk, int fd) {
  RunDetached([shared = shared_, disk, fd, root = sysRoot_] {
    shared->post({Report::kAdopted, {disk}, DescribeAdoptedDisk(disk, fd, root), false});
  });
}

void DeviceEnumerator::drain() {
  std::deque<Report> reports;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    reports.swap(shared_->reports);
    shared_->drainPosted = false;
  }
  for (Report& report : reports) {
    switch (report.kind) {
      case Report::kListed:
        emit listed(report.present);
        break;
      case Report::kDescribed:
        emit described(report.entry, report.denied);
        break;
      case Report::kFinished:
        running_ = false;
        emit finished();
        break;
      case Report::kAdopted:
        emit adopted(report.present.front().devNode, report.entry);
        break;
    }
  }
}

}  // namespace lumicarve
