#include "results/ui/thumbnail_worker.h"

#include <unistd.h>

#include "results/temp_copy.h"
#include "results/ui/picture_decode.h"
#include "results/ui/thumbnail_tiles.h"
#include "scan/raw_preview.h"

namespace lumicarve {

ThumbnailQueue::ThumbnailQueue(std::vector<FoundFile> files)
    : files_(std::move(files)), onTheirWay_(files_.size(), 0) {}

bool ThumbnailQueue::schedule(const std::vector<int>& rows) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_.clear();
  for (int row : rows)
    if (row >= 0 && row < size() && !onTheirWay_[static_cast<size_t>(row)]) waiting_.push_back(row);
  const bool start = idle_ && !waiting_.empty();
  if (start) idle_ = false;
  return start;
}

void ThumbnailQueue::landed(int row) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (row >= 0 && row < size()) onTheirWay_[static_cast<size_t>(row)] = 0;
}

bool ThumbnailQueue::take(ThumbnailJob& job) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (waiting_.empty()) {
    // Decided under the lock, so rows scheduled from now on start a worker.
    idle_ = true;
    return false;
  }
  job.row = waiting_.front();
  waiting_.pop_front();
  job.file = files_[static_cast<size_t>(job.row)];
  onTheirWay_[static_cast<size_t>(job.row)] = 1;
  return true;
}

void ThumbnailQueue::dropped(int row) { landed(row); }

void ThumbnailQueue::end() {
  // Rows still waiting stay for the worker the next schedule() starts.
  std::lock_guard<std::mutex> lock(mutex_);
  idle_ = true;
}

int RunThumbnailWorker(const ThumbnailInput& input, ThumbnailQueue& queue,
                       const std::atomic<bool>& stop,
                       const std::function<void(ThumbnailTile)>& deliver) {
  int delivered = 0;
  ThumbnailJob job;
  // A worker that took "none left" has handed the queue back already; a
  // later worker may own it by the time this one returns.
  bool more = true;
  while (!stop.load() && (more = queue.take(job))) {
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
        queue.dropped(job.row);
        break;
      }
      if (copied != TempCopyResult::kCopied) {
        // An unreadable sector or a copy out of bounds leaves no true picture to show.
        tile.image = MakeTile(QImage(), 0, 0);
      } else {
        DecodedPicture picture = DecodePicture(bytes, file.type, kTileWidth, kTileHeight);
        tile.image = MakeTile(picture.image, picture.width, picture.height);
      }
    }
    deliver(std::move(tile));
    ++delivered;
  }
  if (more) queue.end();
  return delivered;
}

}  // namespace lumicarve
