#include "scan/block_reader.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <deque>
#include <fstream>
#include <new>
#include <string>

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

// How far the kernel may read ahead of a read of `fd`. Sequential access
// doubles the device's read-ahead setting (8 MiB when it is unknown), and the
// next window is started when the read reaches the middle of the current
// one: four times the setting bounds it.
constexpr uint64_t kReachFactor = 4;
uint64_t ReadAheadReach(int fd) {
  uint64_t bytes = 0;
  struct stat st {};
  if (::fstat(fd, &st) == 0) {
    long sectors = 0;
    if (S_ISBLK(st.st_mode) && ::ioctl(fd, BLKRAGET, &sectors) == 0 && sectors > 0) {
      bytes = static_cast<uint64_t>(sectors) * 512;
    } else if (S_ISREG(st.st_mode)) {
      // The file system's device, or the disk that holds it as a partition.
      const std::string dev = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                              std::to_string(minor(st.st_dev));
      for (const char* queue : {"/queue/read_ahead_kb", "/../queue/read_ahead_kb"}) {
        std::ifstream in(dev + queue);
        uint64_t kb = 0;
        if (in >> kb) {
          bytes = kb * 1024;
          break;
        }
      }
    }
  }
  return (bytes ? bytes : uint64_t{8} << 20) * kReachFactor;
}

// How many pages of [offset, offset + length) of `fd` the page cache holds,
// counted by the kernel in one walk of the range (Linux 6.5 and later); -1
// when the kernel cannot tell.
int64_t CachedPageCount(int fd, uint64_t offset, uint64_t length) {
#if defined(__linux__)
  static std::atomic<bool> unavailable{false};
  if (unavailable.load(std::memory_order_relaxed)) return -1;
  struct {
    uint64_t offset, length;
  } range{offset, length};
  struct {
    uint64_t cache, dirty, writeback, evicted, recentlyEvicted;
  } counts{};
  constexpr long kCachestat = 451;  // the same number on every architecture
  if (::syscall(kCachestat, fd, &range, &counts, 0) == 0) return static_cast<int64_t>(counts.cache);
  // ENOSYS: an older kernel. A file the user may neither write nor own is
  // refused (EPERM); another file may not be, so only ENOSYS is remembered.
  if (errno == ENOSYS) unavailable.store(true, std::memory_order_relaxed);
#else
  (void)fd, (void)offset, (void)length;
#endif
  return -1;
}

// Which pages of [offset, offset + length) are in the page cache, one bit
// per page from the page holding `offset`, asked of the kernel without
// touching the pages; none when it cannot be told (the range then counts as
// not cached, so it is released after the scan has read it). A range wholly
// cached or wholly not, the usual case, is told by a count; only a mixed
// one is looked up page by page, which costs the scan a seventh of its
// speed when done for every chunk.
template <size_t N>
std::bitset<N> CachedPages(int fd, uint64_t offset, uint64_t length, uint64_t& base) {
  std::bitset<N> out;
  const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  base = offset / page * page;
  const uint64_t span = offset + length - base;
  const size_t pages = static_cast<size_t>((span + page - 1) / page);
  if (pages > N) return out;
  const int64_t cached = CachedPageCount(fd, base, span);
  if (cached == 0) return out;
  if (cached == static_cast<int64_t>(pages)) {
    for (size_t i = 0; i < pages; ++i) out[i] = true;
    return out;
  }
  void* map = ::mmap(nullptr, span, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(base));
  if (map == MAP_FAILED) return out;
  unsigned char resident[N];
  if (::mincore(map, span, resident) == 0)
    for (size_t i = 0; i < pages; ++i) out[i] = resident[i] & 1;
  ::munmap(map, span);
  return out;
}

}  // namespace

BlockReader::BlockReader(int fd, uint64_t totalSectors, std::atomic<int32_t>& readErrors)
    : fd_(fd),
      total_(totalSectors),
      readErrors_(readErrors),
      readAheadReach_(ReadAheadReach(fd)),
      single_((size_t{kBlockSectors} + 1) * kSectorSize) {
  // Faulting 8 MiB in page by page costs more than a whole scan of a video
  // card: map the ring with its pages in place.
  const size_t page = 4096;
  ringBytes_ = (kChunkBytes + page - 1) / page * page * kRingChunks;
  ringMemory_ = ::mmap(nullptr, ringBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (ringMemory_ == MAP_FAILED) throw std::bad_alloc();
  for (size_t i = 0; i < kRingChunks; ++i) ring_[i].data = static_cast<uint8_t*>(ringMemory_) + i * (ringBytes_ / kRingChunks);
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  thread_ = std::thread([this] { ReaderLoop(); });
}

BlockReader::~BlockReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  for (const auto& [offset, length] : drops_) Drop(offset, length);
  std::vector<std::pair<uint64_t, uint64_t>> rest;
  rest.swap(kept_);
  for (const Chunk& chunk : ring_)
    if (chunk.ok && chunk.state != SlotState::kFree)
      Uncached(chunk, std::min<uint64_t>(kChunkSectors, total_ - chunk.first) * kSectorSize, rest);
  for (const auto& [offset, length] : rest) Drop(offset, length);
  ::munmap(ringMemory_, ringBytes_);
}

bool BlockReader::Covers(const Chunk& chunk, uint64_t first) {
  return chunk.ok && first >= chunk.first && first + kBlockSectors + 1 <= chunk.first + kChunkSectors + 1;
}

const uint8_t* BlockReader::Block(uint64_t first) {
  if (held_ && Covers(*held_, first)) return held_->data + (first - held_->first) * kSectorSize;
  if (first >= failedUntil_) {
    if (held_ && held_->ok && first > held_->first && first < nextFirst_) {
      // A block that starts in the held chunk and ends in the next: put it
      // together from both rather than read it again.
      if (nextFirst_ < total_) {
        const Chunk* next = Take(nextFirst_);
        if (next->ok) {
          const size_t fromHeld = static_cast<size_t>(nextFirst_ - first) * kSectorSize;
          std::memcpy(single_.data(), held_->data + (first - held_->first) * kSectorSize, fromHeld);
          std::memcpy(single_.data() + fromHeld, next->data, single_.size() - fromHeld);
          return single_.data();
        }
      }
    } else {
      // Anything but the chunk that follows is a jump: read on from there.
      if (!reading_ || first < nextFirst_ || first - nextFirst_ > kChunkSectors - kBlockSectors) Restart(first);
      ReleaseHeld();
      held_ = Take(nextFirst_);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        held_->state = SlotState::kHeld;
      }
      nextFirst_ += kChunkSectors;
      if (Covers(*held_, first)) return held_->data + (first - held_->first) * kSectorSize;
      failedUntil_ = held_->first + kChunkSectors;
      if (DeviceGone(held_->error)) lostError_ = held_->error;
    }
  }
  if (lostError_) return nullptr;
  return ReadSingleBlock(first);
}

// Takes the next chunk of the current sequence into `slot`, under mutex_.
// Whether the chunk was cached before the scan came near it is settled here,
// before any thread reads it: the kernel reads ahead of every read into the
// chunks that follow (and on, as pages it read ahead are read), never further
// than readAheadReach_, so each chunk is looked up before anything within
// that reach of it is read, and only the pages cached then are taken to be
// someone else's. Claims are made in order, so the look-ups are too.
uint64_t BlockReader::Claim(Chunk& slot) {
  const uint64_t first = readNext_;
  readNext_ += kChunkSectors;
  slot.state = SlotState::kReading;
  slot.first = first;
  if (generation_ != probeGeneration_) {
    probeGeneration_ = generation_;
    probes_.clear();
    probeNext_ = first;
  }
  const uint64_t reachSectors = readAheadReach_ / kSectorSize;
  while (probeNext_ < total_ && probeNext_ < first + kChunkSectors + reachSectors) {
    const uint64_t sectors = std::min<uint64_t>(kChunkSectors + 1, total_ - probeNext_);
    Probe probe{probeNext_, 0, {}, false};
    probe.cached = CachedPages<kMaskPages>(fd_, probeNext_ * kSectorSize, sectors * kSectorSize, probe.base);
    const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    const uint64_t end = (probeNext_ + sectors) * kSectorSize;
    probe.whole = probe.cached.count() == (end - probe.base + page - 1) / page;
    probes_.push_back(probe);
    probeNext_ += kChunkSectors;
  }
  while (!probes_.empty() && probes_.front().first < first) probes_.pop_front();
  const bool probed = !probes_.empty() && probes_.front().first == first;
  slot.cached = probed ? probes_.front().cached : PageMask{};
  slot.cacheBase = probed ? probes_.front().base : first * kSectorSize;
  return generation_;
}

// Whether the chunk the next claim would take is wholly in the page cache.
bool BlockReader::NextIsCached() const {
  if (probeGeneration_ != generation_) return false;
  for (const Probe& probe : probes_)
    if (probe.first == readNext_) return probe.whole;
  return false;
}

// Reads a claimed chunk (the sectors past the device end as zeros), outside
// mutex_: the reader thread and the scan may each read one at a time.
void BlockReader::ReadChunk(Chunk& chunk) {
  const uint64_t first = chunk.first;
  const uint64_t left = total_ > first ? total_ - first : 0;
  const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kChunkSectors + 1, left));
  chunk.ok = n != 0 && ReadSectors(fd_, first, n, kSectorSize, chunk.data);
  chunk.error = chunk.ok ? 0 : (n ? LastReadError() : ERANGE);
  if (chunk.ok) std::memset(chunk.data + size_t{n} * kSectorSize, 0, kChunkBytes - size_t{n} * kSectorSize);
}

// Hands a chunk that was read to the scan, under mutex_; one read for a
// sequence the scan has left since is released again.
void BlockReader::Finish(Chunk& slot, uint64_t generation) {
  if (generation == generation_) {
    slot.generation = generation;
    slot.state = SlotState::kFilled;
  } else {
    // The scan jumped elsewhere while this was read.
    if (slot.ok) Uncached(slot, std::min<uint64_t>(kChunkSectors, total_ - slot.first) * kSectorSize, drops_);
    slot.state = SlotState::kFree;
  }
  wake_.notify_all();
}

// The reader fills free slots with the chunks of the current sequence, in
// order, and releases the ranges the scan has finished with. It never waits
// for the scan as long as a slot is free.
void BlockReader::ReaderLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    Chunk* slot = nullptr;
    wake_.wait(lock, [&] {
      if (stop_ || !drops_.empty()) return true;
      slot = FreeSlot();
      return slot != nullptr;
    });
    if (stop_) return;
    std::vector<std::pair<uint64_t, uint64_t>> drops;
    drops.swap(drops_);
    const uint64_t generation = slot ? Claim(*slot) : 0;
    lock.unlock();
    for (const auto& [offset, length] : drops) Drop(offset, length);
    if (slot) ReadChunk(*slot);
    lock.lock();
    if (slot) Finish(*slot, generation);
  }
}

// A slot the next chunk of the sequence may be read into, under mutex_.
BlockReader::Chunk* BlockReader::FreeSlot() {
  if (!reading_ || readNext_ >= total_) return nullptr;
  for (Chunk& chunk : ring_)
    if (chunk.state == SlotState::kFree) return &chunk;
  return nullptr;
}

void BlockReader::Restart(uint64_t first) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++generation_;
  for (Chunk& chunk : ring_)
    if (chunk.state == SlotState::kFilled) {
      if (chunk.ok) Uncached(chunk, std::min<uint64_t>(kChunkSectors, total_ - chunk.first) * kSectorSize, drops_);
      chunk.state = SlotState::kFree;
    }
  readNext_ = nextFirst_ = first;
  reading_ = true;
  wake_.notify_all();
}

// Out of the page cache, copying a chunk costs the reader thread more than
// examining it costs the scan, so a scan that would wait for its chunk takes
// the next chunk not yet begun and reads it itself: both cores then copy.
// From the device the scan only waits, and leaves the device one read at a
// time.
BlockReader::Chunk* BlockReader::Take(uint64_t first) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    for (Chunk& chunk : ring_)
      if (chunk.state == SlotState::kFilled && chunk.generation == generation_ && chunk.first == first) return &chunk;
    Chunk* slot = NextIsCached() ? FreeSlot() : nullptr;
    if (!slot) {
      wake_.wait(lock);
      continue;
    }
    const uint64_t generation = Claim(*slot);
    lock.unlock();
    ReadChunk(*slot);
    lock.lock();
    Finish(*slot, generation);
  }
}

// Only what the scan itself brought into the cache is released: a range
// jumped over, or pages that were cached before the scan read them, are
// someone else's.
void BlockReader::ReleaseHeld() {
  if (!held_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (held_->ok) {
    drops_.insert(drops_.end(), kept_.begin(), kept_.end());
    kept_.clear();
    Uncached(*held_, std::min<uint64_t>(kChunkSectors, total_ - held_->first) * kSectorSize, kept_);
  }
  held_->state = SlotState::kFree;
  held_ = nullptr;
  wake_.notify_all();
}

void BlockReader::Uncached(const Chunk& chunk, uint64_t bytes,
                           std::vector<std::pair<uint64_t, uint64_t>>& out) const {
  const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  const uint64_t from = chunk.first * kSectorSize, to = from + bytes;
  uint64_t runStart = 0;
  bool inRun = false;
  for (uint64_t at = chunk.cacheBase, i = 0; at < to; at += page, ++i) {
    const bool mine = i >= kMaskPages || !chunk.cached[i];
    if (mine && !inRun) {
      runStart = std::max(at, from);
      inRun = true;
    } else if (!mine && inRun) {
      out.emplace_back(runStart, at - runStart);
      inRun = false;
    }
  }
  if (inRun) out.emplace_back(runStart, to - runStart);
}

void BlockReader::Drop(uint64_t offset, uint64_t length) const {
  if (length)
    ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_DONTNEED);
}

const uint8_t* BlockReader::ReadSingleBlock(uint64_t first) {
  const uint64_t left = total_ > first ? total_ - first : 0;
  const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, left));
  uint8_t* buf = single_.data();
  // Unreadable sectors are examined as zeros, never as the bytes of an
  // earlier block: those would be found a second time.
  std::memset(buf + size_t{n} * kSectorSize, 0, size_t{kBlockSectors - n} * kSectorSize);
  if (n == 0 || !ReadSectors(fd_, first, n, kSectorSize, buf)) {
    readErrors_.fetch_add(1);
    if (n != 0 && DeviceGone(LastReadError())) {
      lostError_ = LastReadError();
      return nullptr;
    }
    if (n != 0 && !ReadSectorsOneByOne(first, n, buf)) return nullptr;
  }
  // The sector after the block, for the end rules' look past the last sector.
  uint8_t* next = buf + size_t{kBlockSectors} * kSectorSize;
  if (first + kBlockSectors >= total_ || !ReadSectors(fd_, first + kBlockSectors, 1, kSectorSize, next))
    std::memset(next, 0, kSectorSize);
  return buf;
}

// A block whose read failed: the sectors before the first unreadable one and
// after the last are read one by one, so a single bad sector does not hide a
// file that starts next to it. Each side stops at its first failure, which
// bounds the failed reads to two per block on a disk that is failing over a
// wide range; the sectors between are zeros. Returns false when the device
// has gone away.
bool BlockReader::ReadSectorsOneByOne(uint64_t first, uint32_t count, uint8_t* out) {
  uint32_t head = 0;
  while (head < count && ReadSectors(fd_, first + head, 1, kSectorSize, out + size_t{head} * kSectorSize)) ++head;
  uint32_t tail = count;
  if (head < count && !DeviceGone(LastReadError()))
    while (tail > head + 1 &&
           ReadSectors(fd_, first + tail - 1, 1, kSectorSize, out + size_t{tail - 1} * kSectorSize))
      --tail;
  if (head < count && DeviceGone(LastReadError())) {
    lostError_ = LastReadError();
    return false;
  }
  if (head < tail) std::memset(out + size_t{head} * kSectorSize, 0, size_t{tail - head} * kSectorSize);
  return true;
}

}  // namespace lumicarve
