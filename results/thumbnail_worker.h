// The thumbnail worker: on a thread of its own it copies each found file (a
// RAW file's embedded preview) from the device into a temp file, decodes it
// at tile size and hands the tile over. It works on plain copies of the
// records and makes QImages only; the view puts each tile into the list on
// the window's thread.
#pragma once

#include <QImage>

#include <atomic>
#include <cstdint>
#include <functional>
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
  int handle = -1;  // the scanned device
  std::vector<ThumbnailJob> jobs;
  QImage filmStrip, camera;  // made on the window's thread
};

// Runs on the worker thread. Makes a tile for each job in order until `stop`
// is raised, handing each to `deliver` as soon as it is made. Ends early,
// leaving the remaining entries blank, when no temp file can be written.
// Returns the number of tiles delivered.
int RunThumbnailWorker(const ThumbnailInput& input, const std::atomic<bool>& stop,
                       const std::function<void(ThumbnailTile)>& deliver);

}  // namespace lumicarve
