// Hands the scan thread's reports to the window's thread without making the
// scan wait: found files, progress and the end go into a bounded queue in the
// order they happen, and the window drains it from its event loop. Only a
// full queue makes the scan wait, and a cancel or detach ends that wait.
#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "scan/scan_context.h"

namespace lumicarve {

class ScanRelay : public QObject, public ScanObserver {
  Q_OBJECT

 public:
  struct Report {
    enum Kind { kProgress, kFile, kFinished } kind = kProgress;
    int perMille = 0;
    std::unique_ptr<FoundFile> file;
    ScanResult result;
  };
  using Handler = std::function<void(Report&)>;

  static constexpr size_t kCapacity = 4096;

  // `deviceFd` is the scanned device, read here to date a JPEG from its EXIF
  // block before the window files it. `handler` runs on this object's thread.
  // `capacity` found files may wait in the queue before the scan waits.
  ScanRelay(int deviceFd, Handler handler, QObject* parent = nullptr, size_t capacity = kCapacity);

  // Set once the ScanContext exists: a cancelled scan never waits for room.
  void watch(const ScanContext* scan) { scan_ = scan; }
  // The window stops listening: nothing more is handled, and a scan waiting
  // for room goes on at once.
  void detach();

  void OnProgress(int perMille) override;
  void OnFileFound(std::unique_ptr<FoundFile> file) override;
  void OnFinished(const ScanResult& result) override;

 private:
  void push(Report report);
  void drain();

  const int deviceFd_;
  const size_t capacity_;
  Handler handler_;
  const ScanContext* scan_ = nullptr;
  std::mutex mutex_;
  std::condition_variable room_;
  std::deque<Report> queue_;
  size_t files_ = 0;  // found files in the queue
  bool posted_ = false;
  bool detached_ = false;
};

}  // namespace lumicarve
