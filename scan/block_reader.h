// Serves the scan loop's 64-sector blocks (plus the sector after each, which
// the end rules peek into) from large reads of the device. A helper thread
// reads the chunks that follow the one being examined into a small ring, so
// the device (or the page cache) is kept busy while the scan examines; out of
// the page cache the scan reads chunks too rather than wait. When a large
// read fails, the range it covered is read again block by block, so read
// errors are counted per 64-sector block and no readable sector is lost.
#pragma once

#include <array>
#include <bitset>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace lumicarve {

class BlockReader {
 public:
  static constexpr uint32_t kBlockSectors = 64;
  static constexpr uint32_t kChunkSectors = 4096;  // 2 MiB per large read
  static constexpr size_t kRingChunks = 4;  // the one examined, the two being read, one filled

  BlockReader(int fd, uint64_t totalSectors, std::atomic<int32_t>& readErrors);
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // The 65 sectors from `first`: sectors past the device end, and unreadable
  // sectors of a block whose read failed, are zeros. Returns null when the
  // device has gone away (unplugged, medium removed); `lostError()` then holds
  // the errno.
  const uint8_t* Block(uint64_t first);
  int lostError() const { return lostError_; }

 private:
  enum class SlotState { kFree, kReading, kFilled, kHeld };
  // One bit per page of a chunk (plus the partial pages at its ends).
  static constexpr size_t kMaskPages = (kChunkSectors + 1) * 512 / 4096 + 2;
  using PageMask = std::bitset<kMaskPages>;
  struct Chunk {
    uint8_t* data = nullptr;  // kChunkSectors + 1 sectors inside ringMemory_
    uint64_t first = 0;
    bool ok = false;
    int error = 0;
    PageMask cached;  // the pages from cacheBase the page cache held before the read
    uint64_t cacheBase = 0;
    SlotState state = SlotState::kFree;
    uint64_t generation = 0;  // of the read sequence it was read for
  };

  static bool Covers(const Chunk& chunk, uint64_t first);
  uint64_t Claim(Chunk& slot);  // returns the generation it was claimed for
  bool NextIsCached() const;
  Chunk* FreeSlot();
  void ReadChunk(Chunk& chunk);
  void Finish(Chunk& slot, uint64_t generation);
  void ReaderLoop();
  // Starts the read sequence over at `first`, discarding what was read ahead.
  void Restart(uint64_t first);
  // Waits for the chunk at `first` of the read sequence and holds it.
  Chunk* Take(uint64_t first);
  void ReleaseHeld();
  const uint8_t* ReadSingleBlock(uint64_t first);
  bool ReadSectorsOneByOne(uint64_t first, uint32_t count, uint8_t* out);
  void Drop(uint64_t offset, uint64_t length) const;
  // The byte ranges of `chunk`'s first `bytes` that were not cached before
  // it was read: what the scan itself brought in.
  void Uncached(const Chunk& chunk, uint64_t bytes, std::vector<std::pair<uint64_t, uint64_t>>& out) const;

  int fd_;
  uint64_t total_;
  std::atomic<int32_t>& readErrors_;
  const uint64_t readAheadReach_;  // bytes the kernel may read ahead of a read
  std::array<Chunk, kRingChunks> ring_;
  void* ringMemory_ = nullptr;
  size_t ringBytes_ = 0;
  Chunk* held_ = nullptr;     // the chunk being examined (owned by the scan)
  uint64_t nextFirst_ = 0;    // where the chunk after the held one starts
  uint64_t failedUntil_ = 0;  // blocks below this are read one by one
  // The chunk before the held one stays cached (a file just found may be
  // read again for its preview); the one before that is released, except
  // for the pages that were cached before the scan read them.
  std::vector<std::pair<uint64_t, uint64_t>> kept_;
  std::vector<uint8_t> single_;
  int lostError_ = 0;

  // Shared with the reader thread, under mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;
  uint64_t readNext_ = 0;  // the next chunk the reader reads
  uint64_t generation_ = 0;
  bool reading_ = false;   // the sequence has been started
  bool stop_ = false;
  std::vector<std::pair<uint64_t, uint64_t>> drops_;  // byte ranges the reader releases
  // The look-ups of the chunks ahead, made as chunks are claimed.
  struct Probe {
    uint64_t first;
    uint64_t base;  // byte offset of the mask's first page
    PageMask cached;
    bool whole;  // every page of the chunk was cached
  };
  std::deque<Probe> probes_;
  uint64_t probeNext_ = 0, probeGeneration_ = ~uint64_t{0};
  std::thread thread_;
};

}  // namespace lumicarve
