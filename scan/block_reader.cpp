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

constexpr size_t kChunkBytes = (size_t{BlockReader::kChunkSectors} + 1) * kSectorSize;

}  // namespace

BlockReader::BlockReader(int fd, uint64_t totalSectors, std::atomic<int32_t>& readErrors)
    : fd_(fd), total_(totalSectors), readErrors_(readErrors), single_((size_t{kBlockSectors} + 1) * kSectorSize) {
  current_.data.resize(kChunkBytes);
  ahead_.data.resize(kChunkBytes);
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  thread_ = std::thread([this] { PrefetchLoop(); });
}

BlockReader::~BlockReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool BlockReader::Covers(const Chunk& chunk, uint64_t first) {
  return chunk.ok && first >= chunk.first && first + kBlockSectors + 1 <= chunk.first + kChunkSectors + 1;
}

const uint8_t* BlockReader::Block(uint64_t first) {
  if (Covers(current_, first)) return current_.data.data() + (first - current_.first) * kSectorSize;
  if (first >= failedUntil_) {
    WaitPrefetch();
    // The chunk read ahead holds the block: move on to it.
    if (requested_ && Covers(ahead_, first)) {
      const uint64_t finished = current_.first;
      const bool hadChunk = current_.ok;
      std::swap(current_, ahead_);
      requested_ = false;
      uint64_t dropFirst = 0, dropSectors = 0;
      if (hadChunk) NoteConsumed(finished, dropFirst, dropSectors);
      StartPrefetch(current_.first + kChunkSectors, dropFirst, dropSectors);
      return current_.data.data() + (first - current_.first) * kSectorSize;
    }
    // A block that starts in this chunk and ends in the next: put it together
    // from both rather than read it again.
    if (requested_ && current_.ok && ahead_.ok && ahead_.first == current_.first + kChunkSectors &&
        first > current_.first && first < ahead_.first) {
      const size_t fromCurrent = static_cast<size_t>(ahead_.first - first) * kSectorSize;
      std::memcpy(single_.data(), current_.data.data() + (first - current_.first) * kSectorSize, fromCurrent);
      std::memcpy(single_.data() + fromCurrent, ahead_.data.data(), single_.size() - fromCurrent);
      return single_.data();
    }
    if (LoadChunk(first)) return current_.data.data();
  }
  if (lostError_) return nullptr;
  return ReadSingleBlock(first);
}

// Reads the chunk at `first` (the sectors past the device end as zeros).
void BlockReader::ReadChunk(Chunk& chunk, uint64_t first) const {
  const uint64_t left = total_ > first ? total_ - first : 0;
  const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kChunkSectors + 1, left));
  chunk.first = first;
  chunk.ok = n != 0 && ReadSectors(fd_, first, n, kSectorSize, chunk.data.data());
  chunk.error = chunk.ok ? 0 : (n ? LastReadError() : ERANGE);
  if (chunk.ok) std::memset(chunk.data.data() + size_t{n} * kSectorSize, 0, kChunkBytes - size_t{n} * kSectorSize);
}

void BlockReader::PrefetchLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || (requested_ && !done_); });
    if (stop_) return;
    const uint64_t first = ahead_.first, dropFirst = dropFirst_, dropSectors = dropSectors_;
    lock.unlock();
    ReadChunk(ahead_, first);
    // Pages the scan has finished with are not needed again soon: releasing
    // them keeps a long scan from evicting everything else from the cache.
    if (dropSectors)
      ::posix_fadvise(fd_, static_cast<off_t>(dropFirst * kSectorSize), static_cast<off_t>(dropSectors * kSectorSize),
                      POSIX_FADV_DONTNEED);
    lock.lock();
    done_ = true;
    wake_.notify_all();
  }
}

void BlockReader::StartPrefetch(uint64_t first, uint64_t dropFirst, uint64_t dropSectors) {
  if (first >= total_) {
    if (dropSectors)
      ::posix_fadvise(fd_, static_cast<off_t>(dropFirst * kSectorSize), static_cast<off_t>(dropSectors * kSectorSize),
                      POSIX_FADV_DONTNEED);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ahead_.first = first;
    dropFirst_ = dropFirst;
    dropSectors_ = dropSectors;
    requested_ = true;
    done_ = false;
  }
  wake_.notify_all();
}

void BlockReader::WaitPrefetch() {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait(lock, [this] { return !requested_ || done_; });
}

// After a jump the chunk read ahead is not the one needed: read it now.
bool BlockReader::LoadChunk(uint64_t first) {
  WaitPrefetch();
  requested_ = false;
  const bool hadChunk = current_.ok;
  const uint64_t finished = current_.first;
  ReadChunk(current_, first);
  if (!current_.ok) {
    if (DeviceGone(current_.error)) lostError_ = current_.error;
    failedUntil_ = first + kChunkSectors;
    return false;
  }
  uint64_t dropFirst = 0, dropSectors = 0;
  if (hadChunk) NoteConsumed(finished, dropFirst, dropSectors);
  StartPrefetch(first + kChunkSectors, dropFirst, dropSectors);
  return true;
}

const uint8_t* BlockReader::ReadSingleBlock(uint64_t first) {
  const uint64_t left = total_ > first ? total_ - first : 0;
  const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, left));
  uint8_t* buf = single_.data();
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

// Only chunks the scan itself read are released: a range jumped over was
// never brought in by the scan, and its cached pages are someone else's.
void BlockReader::NoteConsumed(uint64_t first, uint64_t& dropFirst, uint64_t& dropSectors) {
  dropFirst = keptFirst_;
  dropSectors = keptSectors_;
  keptFirst_ = first;
  keptSectors_ = std::min<uint64_t>(kChunkSectors, total_ > first ? total_ - first : 0);
}

}  // namespace lumicarve
