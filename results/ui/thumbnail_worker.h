// The thumbnail workers: on the threads of a pool sized to the cores they
// read each found file (a RAW file's embedded preview) from the device into
// memory, decode it at tile size and hand the tile over. They work on plain
// copies of the records and make QImages only; the view puts each tile into
// the list on the window's thread.
#pragma once

#include <QImage>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "scan/file_types.h"

class QObject;
class QThreadPool;

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
// (the rows in view first) whenever the view moves; the workers take them
// one at a time, so the nearest rows are always the next ones decoded. A
// worker that finds none left ends, and the next schedule() that brings rows
// asks for new ones.
class ThumbnailQueue {
 public:
  explicit ThumbnailQueue(std::vector<FoundFile> files);  // one copy per row
  int size() const { return static_cast<int>(files_.size()); }

  // Window's thread. The rows to make next, in this order, in place of those
  // still waiting; a row taken and not yet landed is left out. Returns how
  // many workers to start so that up to `workers` take rows (never more
  // than there are rows waiting).
  int schedule(const std::vector<int>& rows, int workers);
  // Window's thread: the tile of `row` has been put into the list.
  void landed(int row);
  // Any thread: some worker is still taking rows.
  bool busy();

  // Worker. The next row's job; false when none is left, and the worker
  // ends; `last` then tells whether it was the last one taking rows.
  bool take(ThumbnailJob& job, bool& last);
  // Worker: `row` was taken but gives no tile (the worker ends before it).
  void dropped(int row);
  // Worker: it ends, whatever rows are still waiting. True when it was the
  // last one taking rows.
  bool leave();

 private:
  std::mutex mutex_;
  const std::vector<FoundFile> files_;
  std::deque<int> waiting_;
  std::vector<char> onTheirWay_;  // taken, tile not yet in the list
  int takers_ = 0;                // workers taking rows
};

// One listing's thumbnails as the window and its workers share them. Each
// worker holds it until it ends, so a stop never waits for a worker: the
// window disconnects, the workers see the stop flag before their next file
// (or block of one) and end on their own, and nothing they make afterwards
// reaches the window.
class ThumbnailRun {
 public:
  ThumbnailRun(std::vector<FoundFile> files, ThumbnailInput input);
  ThumbnailRun(const ThumbnailRun&) = delete;
  ThumbnailRun& operator=(const ThumbnailRun&) = delete;

  // Window's thread. Tiles go to `onTile` and the moment no worker is left
  // to `onIdle`, both run on `receiver`'s thread through its event queue.
  void connect(QObject* receiver, std::function<void(ThumbnailTile)> onTile, std::function<void()> onIdle);
  // Window's thread: raises the stop flag; from its return on nothing more
  // is handed to the receiver, which may then be destroyed.
  void disconnect();

  // Workers.
  void deliver(ThumbnailTile tile);
  void idle();

  ThumbnailQueue queue;
  const ThumbnailInput input;
  std::atomic<bool> stop{false};

 private:
  std::mutex mutex_;
  QObject* receiver_ = nullptr;
  std::function<void(ThumbnailTile)> onTile_;
  std::function<void()> onIdle_;
};

// The pool every listing's workers run on, QThread::idealThreadCount()
// threads unless changed. Made on first use on the window's thread; the
// application's end waits for its workers, which by then have been stopped.
QThreadPool& ThumbnailPool();

// The tile of one job. `stopped` is set, and the tile is void, when `stop`
// was raised while the file was being read.
ThumbnailTile MakeThumbnail(const ThumbnailInput& input, const ThumbnailJob& job, const std::atomic<bool>& stop,
                            bool& stopped);

// Runs on a worker thread. Makes a tile for each row the run's queue hands
// out until the stop flag is raised or none is left, handing each over as
// soon as it is made; the last worker to find none left reports the run idle.
void RunThumbnailWorker(ThumbnailRun& run);

}  // namespace lumicarve
