#include "results/ui/thumbnail_worker.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <algorithm>

#include "results/temp_copy.h"
#include "results/ui/picture_decode.h"
#include "results/ui/thumbnail_tiles.h"
#include "scan/raw_preview.h"

namespace lumicarve {

ThumbnailQueue::ThumbnailQueue(std::vector<FoundFile> files)
    : files_(std::move(files)), onTheirWay_(files_.size(), 0) {}

int ThumbnailQueue::schedule(const std::vector<int>& rows, int workers) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.clear();
  for (int row : rows)
    if (row >= 0 && row < size() && !onTheirWay_[static_cast<size_t>(row)]) waiting_.push_back(row);
  const int start = std::max(0, std::min(workers, static_cast<int>(waiting_.size())) - takers_);
  takers_ += start;
  return start;
}

void ThumbnailQueue::landed(int row) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (row >= 0 && row < size()) onTheirWay_[static_cast<size_t>(row)] = 0;
}

bool ThumbnailQueue::busy() {
  std::lock_guard<std::mutex> lock(mutex_);
  return takers_ > 0;
}

bool ThumbnailQueue::take(ThumbnailJob& job, bool& last) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (waiting_.empty()) {
    // Decided under the lock, so rows scheduled from now on start a worker.
    last = --takers_ == 0;
    return false;
  }
  job.row = waiting_.front();
  waiting_.pop_front();
  job.file = files_[static_cast<size_t>(job.row)];
  onTheirWay_[static_cast<size_t>(job.row)] = 1;
  return true;
}

void ThumbnailQueue::dropped(int row) { landed(row); }

bool ThumbnailQueue::leave() {
  // Rows still waiting stay for the workers the next schedule() starts.
  std::lock_guard<std::mutex> lock(mutex_);
  return --takers_ == 0;
}

ThumbnailRun::ThumbnailRun(std::vector<FoundFile> files, ThumbnailInput in)
    : queue(std::move(files)), input(std::move(in)) {}

void ThumbnailRun::connect(QObject* receiver, std::function<void(ThumbnailTile)> onTile,
                           std::function<void()> onIdle) {
  std::lock_guard<std::mutex> lock(mutex_);
  receiver_ = receiver;
  onTile_ = std::move(onTile);
  onIdle_ = std::move(onIdle);
}

void ThumbnailRun::disconnect() {
  stop.store(true);
  // A worker posts under this lock: once it is released, none can be posting.
  std::lock_guard<std::mutex> lock(mutex_);
  receiver_ = nullptr;
}

void ThumbnailRun::deliver(ThumbnailTile tile) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!receiver_) return;
  // Posting only queues an event: the worker never waits for the window.
  QMetaObject::invokeMethod(
      receiver_, [f = onTile_, tile = std::move(tile)] { f(tile); }, Qt::QueuedConnection);
}

void ThumbnailRun::idle() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (receiver_) QMetaObject::invokeMethod(receiver_, onIdle_, Qt::QueuedConnection);
}

namespace {

QPointer<QThreadPool> g_pool;

void DeletePool() { delete g_pool.data(); }

}  // namespace

QThreadPool& ThumbnailPool() {
  if (!g_pool) {
    g_pool = new QThreadPool;
    g_pool->setMaxThreadCount(QThread::idealThreadCount());
    g_pool->setObjectName(QStringLiteral("thumbnails"));
    // Runs as the application object goes: its destructor waits for workers
    // that the views, already gone, have stopped.
    qAddPostRoutine(DeletePool);
  }
  return *g_pool;
}

ThumbnailTile MakeThumbnail(const ThumbnailInput& input, const ThumbnailJob& job, const std::atomic<bool>& stop,
                            bool& stopped) {
  stopped = false;
  ThumbnailTile tile;
  tile.row = job.row;
  FoundFile file = job.file;
  PreviewInfo info{};
  bool preview = false;
  if (IsRawType(file.type)) {
    preview = ReadRawPreview(input.handle, file, info, [&stop] { return stop.load(); }) == 1 &&
              PreviewCopyRange(file, &info).has_value();
    tile.hasDate = file.date != 0;
    tile.date = file.date;
  }
  if (!preview && !IsPictureType(file.type)) {
    tile.image = IsVideoType(file.type) ? input.filmStrip : input.camera;
  } else if (!preview && IsRawType(file.type)) {
    // A RAW file without an embedded preview is not decoded.
    tile.image = input.camera;
  } else {
    // Read into memory and decoded from there: nothing goes through a temp file.
    std::vector<uint8_t> bytes;
    const TempCopyResult copied = ReadCopy(input.handle, file, preview ? &info : nullptr, bytes, &stop);
    if (copied == TempCopyResult::kStopped) {
      stopped = true;
      return ThumbnailTile{};
    }
    if (copied != TempCopyResult::kCopied) {
      // An unreadable sector or a copy out of bounds leaves no true picture to show.
      tile.image = MakeTile(QImage(), 0, 0);
    } else {
      DecodedPicture picture = DecodePicture(bytes, file.type, kTileWidth, kTileHeight);
      tile.image = MakeTile(picture.image, picture.width, picture.height);
    }
  }
  return tile;
}

void RunThumbnailWorker(ThumbnailRun& run) {
  ThumbnailJob job;
  bool last = false;
  for (;;) {
    if (run.stop.load()) {
      last = run.queue.leave();
      break;
    }
    if (!run.queue.take(job, last)) break;
    bool stopped = false;
    ThumbnailTile tile = MakeThumbnail(run.input, job, run.stop, stopped);
    if (stopped) {
      run.queue.dropped(job.row);
      last = run.queue.leave();
      break;
    }
    run.deliver(std::move(tile));
  }
  if (last) run.idle();
}

}  // namespace lumicarve
