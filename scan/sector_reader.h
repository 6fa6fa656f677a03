// Every read of a device's content goes through ReadSectors: whole sectors,
// positional, bounded by the read limit of the last scanned device.
#pragma once

#include <cstdint>
#include <vector>

namespace lumicarve {

inline constexpr uint32_t kSectorSize = 512;

void SetReadLimit(uint64_t sectors);
uint64_t ReadLimit();

// Reads `count` sectors of `sectorSize` bytes at sector `first` of the open
// descriptor `handle` into `buffer`. False when the read fails (beyond the read
// limit, an I/O error, a short read); LastReadError() says why. Safe to call from several
// threads on one handle: it is a single pread().
bool ReadSectors(int handle, uint64_t first, uint32_t count, uint32_t sectorSize, void* buffer);

// The errno of the calling thread's last failed ReadSectors (0 after a
// success, ERANGE for a read refused by the limit, EIO for a short read).
int LastReadError();

// Number of ReadSectors calls that reached the device, for benchmarks.
uint64_t ReadCallCount();

// Test seam: reads that touch a sector inside one of these ranges fail with
// the given errno. Set before a scan starts and cleared after it ends.
struct ReadFault {
  uint64_t first;  // first unreadable sector
  uint64_t last;   // last unreadable sector (inclusive)
  int error;       // errno the read fails with
};
void SetReadFaults(std::vector<ReadFault> faults);
void ClearReadFaults();

// Process-wide stopwatch on the monotonic clock; used by the scan thread.
void InitStopwatch();
void ResetStopwatch();
double ElapsedSeconds();

}  // namespace lumicarve
