// Serves the scan loop's 64-sector blocks (plus the sector after each, which
// the end rules peek into) from large reads of the device, the next one read
// on a helper thread while the current one is examined. When a large read
// fails, the range it covered is read again block by block, so read errors
// are counted per 64-sector block and no readable sector is lost.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace lumicarve {

class BlockReader {
 public:
  static constexpr uint32_t kBlockSectors = 64;
  static constexpr uint32_t kChunkSectors = 4096;  // 2 MiB per large read

  BlockReader(int fd, uint64_t totalSectors, std::atomic<int32_t>& readErrors);
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // The 65 sectors from `first`: sectors past the device end, and those of a
  // block whose read failed, are zeros. Returns null when the device has gone
  // away (unplugged, medium removed); `lostError()` then holds the errno.
  const uint8_t* Block(uint64_t first);
  int lostError() const { return lostError_; }

 private:
  struct Chunk {
    std::vector<uint8_t> data;
    uint64_t first = 0;
    bool ok = false;
    int error = 0;
  };

  static bool Covers(const Chunk& chunk, uint64_t first);
  bool LoadChunk(uint64_t first);
  void ReadChunk(Chunk& chunk, uint64_t first) const;
  void StartPrefetch(uint64_t first, uint64_t dropFirst, uint64_t dropSectors);
  void WaitPrefetch();
  void PrefetchLoop();
  const uint8_t* ReadSingleBlock(uint64_t first);
  void NoteConsumed(uint64_t first, uint64_t& dropFirst, uint64_t& dropSectors);

  int fd_;
  uint64_t total_;
  std::atomic<int32_t>& readErrors_;
  Chunk current_;
  uint64_t failedUntil_ = 0;   // blocks below this are read one by one
  // The chunk before the current one stays cached (a file just found may be
  // read again for its preview); the one before that is released.
  uint64_t keptFirst_ = 0, keptSectors_ = 0;
  std::vector<uint8_t> single_;
  int lostError_ = 0;

  // The read-ahead: one chunk in flight at most.
  Chunk ahead_;
  std::mutex mutex_;
  std::condition_variable wake_;
  uint64_t dropFirst_ = 0, dropSectors_ = 0;  // released by the helper after its read
  bool requested_ = false;  // a read of ahead_ was asked for and not yet taken
  bool done_ = false;       // that read has finished
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace lumicarve
