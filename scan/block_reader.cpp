#include "scan/block_reader.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

// Errors that mean the reader was unplugged or the card pulled: reading on
// would only fail for every remaining block.
bool DeviceGone(int error) { return error == ENODEV || error == ENXIO || error == ENOMEDIUM; }

}  // namespace

BlockReader::BlockReader(int fd, uint64_t totalSectors, std::atomic<int32_t>& readErrors)
    : fd_(fd), total_(totalSectors), readErrors_(readErrors),
      chunk_((size_t{kChunkSectors} + 1) * kSectorSize), single_((size_t{kBlockSectors} + 1) * kSectorSize) {
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

BlockReader::~BlockReader() = default;

const uint8_t* BlockReader::Block(uint64_t first) {
  if (first >= chunkFirst_ && first + kBlockSectors + 1 <= chunkEnd_)
    return chunk_.data() + (first - chunkFirst_) * kSectorSize;
  if (first >= failedUntil_ && LoadChunk(first)) return chunk_.data();
  if (lostError_) return nullptr;
  return ReadSingleBlock(first);
}

bool BlockReader::LoadChunk(uint64_t first) {
  const uint64_t left = total_ > first ? total_ - first : 0;
  const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kChunkSectors + 1, left));
  ++readCalls_;
  if (n == 0 || !ReadSectors(fd_, first, n, kSectorSize, chunk_.data())) {
    chunkEnd_ = 0;
    if (n != 0 && DeviceGone(LastReadError())) lostError_ = LastReadError();
    failedUntil_ = first + kChunkSectors;
    return false;
  }
  std::memset(chunk_.data() + size_t{n} * kSectorSize, 0, chunk_.size() - size_t{n} * kSectorSize);
  DropBehind(first);
  chunkFirst_ = first;
  chunkEnd_ = first + kChunkSectors + 1;
  return true;
}

const uint8_t* BlockReader::ReadSingleBlock(uint64_t first) {
  const uint64_t left = total_ > first ? total_ - first : 0;
  const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, left));
  uint8_t* buf = single_.data();
  ++readCalls_;
  // A block whose read failed is examined as zeros, never as the bytes of an
  // earlier block: those would be found a second time.
  if (n == 0 || !ReadSectors(fd_, first, n, kSectorSize, buf)) {
    std::memset(buf, 0, size_t{kBlockSectors} * kSectorSize);
    readErrors_.fetch_add(1);
    if (n != 0 && DeviceGone(LastReadError())) {
      lostError_ = LastReadError();
      return nullptr;
    }
  } else {
    std::memset(buf + size_t{n} * kSectorSize, 0, size_t{kBlockSectors - n} * kSectorSize);
  }
  // The sector after the block, for the end rules' look past the last sector.
  uint8_t* next = buf + size_t{kBlockSectors} * kSectorSize;
  if (first + kBlockSectors >= total_ || !ReadSectors(fd_, first + kBlockSectors, 1, kSectorSize, next))
    std::memset(next, 0, kSectorSize);
  return buf;
}

// Pages behind the scan position are not needed again soon: release them so
// a long scan does not evict everything else from the page cache.
void BlockReader::DropBehind(uint64_t first) {
  if (first <= droppedUntil_ + kChunkSectors) return;
  const uint64_t until = first - kChunkSectors;
  ::posix_fadvise(fd_, static_cast<off_t>(droppedUntil_ * kSectorSize),
                  static_cast<off_t>((until - droppedUntil_) * kSectorSize), POSIX_FADV_DONTNEED);
  droppedUntil_ = until;
}

}  // namespace lumicarve
