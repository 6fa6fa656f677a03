#include "shell/scan_relay.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>
#include <chrono>

#include "recovery/jpeg_exif_date.h"

namespace lumicarve {
namespace {

// One drain hands over at most this much work before it yields to the rest
// of the event loop, so painting and input never wait long behind a burst.
constexpr qint64 kDrainBudgetMs = 20;

}  // namespace

ScanRelay::ScanRelay(int deviceFd, Handler handler, QObject* parent, size_t capacity)
    : QObject(parent), deviceFd_(deviceFd), capacity_(std::max<size_t>(1, capacity)), handler_(std::move(handler)) {}

void ScanRelay::detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  detached_ = true;
  queue_.clear();
  files_ = 0;
  room_.notify_all();
}

void ScanRelay::OnProgress(int perMille) {
  Report report;
  report.kind = Report::kProgress;
  report.perMille = perMille;
  push(std::move(report));
}

void ScanRelay::OnFileFound(std::unique_ptr<FoundFile> file) {
  // Dated here, on the scan thread, so the window files it without reading.
  if (file->type == FT_JPG) DateJpegFromExif(deviceFd_, *file);
  Report report;
  report.kind = Report::kFile;
  report.file = std::move(file);
  push(std::move(report));
}

void ScanRelay::OnFinished(const ScanResult& result) {
  Report report;
  report.kind = Report::kFinished;
  report.result = result;
  push(std::move(report));
}

void ScanRelay::push(Report report) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (report.kind == Report::kFile) {
    // A cancel raised elsewhere does not notify: it is looked at every 50 ms.
    while (files_ >= capacity_ && !detached_ && !(scan_ && scan_->Cancelled()))
      room_.wait_for(lock, std::chrono::milliseconds(50));
    ++files_;
  }
  if (detached_) return;
  // Progress not yet shown is replaced by newer progress.
  if (report.kind == Report::kProgress && !queue_.empty() && queue_.back().kind == Report::kProgress)
    queue_.back().perMille = report.perMille;
  else
    queue_.push_back(std::move(report));
  if (!posted_) {
    posted_ = true;
    QMetaObject::invokeMethod(this, &ScanRelay::drain, Qt::QueuedConnection);
  }
}

void ScanRelay::drain() {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    Report report;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty() || detached_) {
        posted_ = false;
        return;
      }
      if (clock.elapsed() >= kDrainBudgetMs) {
        QMetaObject::invokeMethod(this, &ScanRelay::drain, Qt::QueuedConnection);
        return;
      }
      report = std::move(queue_.front());
      queue_.pop_front();
      if (report.kind == Report::kFile && files_-- == capacity_) room_.notify_one();
    }
    handler_(report);
  }
}

}  // namespace lumicarve
