// The thumbnail worker: on a thread of its own it copies each found file (a
// RAW file's embedded preview) from the device into a temp file, decodes it
// at tile size and hands the tile over. It works on plain copies of the
// records and makes QImages only; the view puts each tile into the list on
// the window's thread.
#pragma once

#include <QImage>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "scan/file_types.h"

namespace lumicarve {

struct ThumbnailJob {
  int row = 0;       // the list entry the tile belongs to
  FoundFile file{};  // a copy of the record (its chain link is not used)
};

struct ThumbnailTile {
  int row = 0;
  QImage image;
  bool hasDate = false;  // a RAW walk found the file's date
  uint64_t date = 0;
};

struct ThumbnailInput {
  int handle = -1;           // the scanned device
  QImage filmStrip, camera;  // made on the window's thread
};

// The rows of one listing still to be made. The window's thread orders them
// (the rows in view first) whenever the view moves; the worker takes them
// one at a time. A worker that finds none left ends, and the next schedule()
// that brings rows asks for a new one.
class ThumbnailQueue {
 public:
  explicit ThumbnailQueue(std::vector<FoundFile> files);  // one copy per row
  int size() const { return static_cast<int>(files_.size()); }

  // Window's thread. The rows to make next, in this order, in place of those
  // still waiting; a row taken and not yet landed is left out. True when no
  // worker is taking rows any more, so one must be started for them.
  bool schedule(const std::vector<int>& rows);
  // Window's thread: the tile of `row` has been put into the list.
  void landed(int row);

  // Worker. The next row's job; false when none is left, and the worker ends.
  bool take(ThumbnailJob& job);
  // Worker: `row` was taken but gives no tile (the worker ends before it).
  void dropped(int row);
  // Worker: it ends, whatever rows are still waiting.
  void end();

 private:
  std::mutex mutex_;
  const std::vector<FoundFile> files_;
  std::deque<int> waiting_;
  std::vector<char> onTheirWay_;  // taken, tile not yet in the list
  bool idle_ = true;              // no worker is taking rows
};

// Runs on the worker thread. Makes a tile for each row `queue` hands out
// until `stop` is raised or none is left, handing each to `deliver` as soon
// as it is made. Ends early, leaving the remaining entries blank, when no
// temp file can be written. Returns the number of tiles delivered.
int RunThumbnailWorker(const ThumbnailInput& input, ThumbnailQueue& queue,
                       const std::atomic<bool>& stop,
                       const std::function<void(ThumbnailTile)>& deliver);

}  // namespace lumicarve
