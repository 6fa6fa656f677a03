// Serves the scan loop's 64-sector blocks (plus the sector after each, which
// the end rules peek into) from large reads of the device. When a large read
// fails, the range it covered is read again block by block, so read errors
// are counted per 64-sector block and no readable sector is lost.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace lumicarve {

class BlockReader {
 public:
  static constexpr uint32_t kBlockSectors = 64;
  static constexpr uint32_t kChunkSectors = 4096;  // 2 MiB per large read

  BlockReader(int fd, uint64_t totalSectors, std::atomic<int32_t>& readErrors);
  ~BlockReader();

  // The 65 sectors from `first`: sectors past the device end, and those of a
  // block whose read failed, are zeros. Returns null when the device has gone
  // away (unplugged, medium removed); `lostError()` then holds the errno.
  const uint8_t* Block(uint64_t first);
  int lostError() const { return lostError_; }
  uint64_t readCalls() const { return readCalls_; }

 private:
  bool LoadChunk(uint64_t first);
  const uint8_t* ReadSingleBlock(uint64_t first);
  void DropBehind(uint64_t first);

  int fd_;
  uint64_t total_;
  std::atomic<int32_t>& readErrors_;
  std::vector<uint8_t> chunk_;
  uint64_t chunkFirst_ = 0;
  uint64_t chunkEnd_ = 0;      // first sector past what chunk_ holds (zeros count)
  uint64_t failedUntil_ = 0;   // blocks below this are read one by one
  uint64_t droppedUntil_ = 0;  // page cache already released below this sector
  std::vector<uint8_t> single_;
  int lostError_ = 0;
  uint64_t readCalls_ = 0;
};

}  // namespace lumicarve
