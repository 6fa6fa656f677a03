#include "scan/sector_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace lumicarve {
namespace {

std::atomic<uint64_t> g_readLimit{0};
std::atomic<uint64_t> g_readCalls{0};
thread_local int t_lastError = 0;

// Set by tests while no read is in flight; readers only look at the list when
// the flag, published after it, says there is one.
std::vector<ReadFault> g_faultList;
std::atomic<bool> g_faultsOn{false};

int InjectedFault(uint64_t first, uint32_t count) {
  if (!g_faultsOn.load(std::memory_order_acquire)) return 0;
  uint64_t last = first + count - 1;
  for (const ReadFault& f : g_faultList)
    if (f.first <= last && first <= f.last) return f.error;
  return 0;
}

using Clock = std::chrono::steady_clock;
Clock::time_point g_origin = Clock::now();

}  // namespace

void SetReadLimit(uint64_t sectors) { g_readLimit.store(sectors, std::memory_order_relaxed); }
uint64_t ReadLimit() { return g_readLimit.load(std::memory_order_relaxed); }
int LastReadError() { return t_lastError; }
uint64_t ReadCallCount() { return g_readCalls.load(std::memory_order_relaxed); }

bool ReadSectors(int handle, uint64_t first, uint32_t count, uint32_t sectorSize, void* buffer) {
  uint64_t limit = g_readLimit.load(std::memory_order_relaxed);
  if (first > limit || count > limit - first) {
    t_lastError = ERANGE;
    return false;
  }
  if (int injected = InjectedFault(first, count)) {
    t_lastError = injected;
    return false;
  }
  g_readCalls.fetch_add(1, std::memory_order_relaxed);
  const size_t want = size_t{count} * sectorSize;
  // Divide rather than multiply: a huge sector number must not wrap the offset.
  if (first > static_cast<uint64_t>(INT64_MAX) / sectorSize) {
    t_lastError = EINVAL;
    return false;
  }
  const off_t offset = static_cast<off_t>(first * sectorSize);
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < want) {
    ssize_t n = ::pread(handle, out + done, want - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      t_lastError = errno;
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (done < want) {
    // A disk image whose size is not a multiple of the sector size ends in a
    // partial sector: the bytes past its end read as zeros. Anything else
    // short is a failure.
    struct stat st {};
    bool partialImageTail = ::fstat(handle, &st) == 0 && S_ISREG(st.st_mode) &&
                            static_cast<uint64_t>(st.st_size) == static_cast<uint64_t>(offset) + done &&
                            want - done < sectorSize;
    if (!partialImageTail) {
      t_lastError = EIO;
      return false;
    }
    std::memset(out + done, 0, want - done);
  }
  t_lastError = 0;
  return true;
}

void SetReadFaults(std::vector<ReadFault> faults) {
  g_faultsOn.store(false, std::memory_order_release);
  g_faultList = std::move(faults);
  g_faultsOn.store(!g_faultList.empty(), std::memory_order_release);
}

void ClearReadFaults() { SetReadFaults({}); }

void InitStopwatch() {}
void ResetStopwatch() { g_origin = Clock::now(); }
double ElapsedSeconds() { return std::chrono::duration<double>(Clock::now() - g_origin).count(); }

}  // namespace lumicarve
