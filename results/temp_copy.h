// Copies of found files (or of a RAW file's embedded preview) read from the
// device into memory, for the thumbnail workers, the pane preview and the
// file-preview dialog to decode. Plain C++: it runs on worker threads as well
// as on the window's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/file_types.h"
#include "scan/raw_preview.h"

namespace lumicarve {

inline constexpr uint32_t kTempCopyBlockSectors = 64;  // 32 KiB per device read

// Which sectors a copy reads and which of their bytes it keeps.
struct TempCopyPlan {
  uint64_t firstSector = 0;
  uint64_t sectors = 0;
  uint32_t skip = 0;   // bytes left out at the start of the first sector
  uint64_t bytes = 0;  // bytes written in all
};

// One block of a plan: the sectors it reads and the bytes of it written.
struct TempCopyBlock {
  uint32_t sectors = 0;
  uint32_t writeOffset = 0;
  uint32_t writeBytes = 0;
};

// The whole file (`preview` null), or the embedded preview a RAW walk found;
// no bytes at all when PreviewCopyRange refuses the copy.
TempCopyPlan PlanTempCopy(const FoundFile& file, const PreviewInfo* preview);
uint64_t BlockCount(const TempCopyPlan& plan);
TempCopyBlock BlockOf(const TempCopyPlan& plan, uint64_t index);

enum class TempCopyResult {
  kCopied,
  kReadFailed,    // a device read failed: there is no trustworthy copy
  kStopped,       // `stop` was raised between two blocks
  kRefused,       // nothing to copy, or the claimed length is out of bounds: nothing read
};

// Reads the plan's bytes from the device `handle` into `out` (replacing its
// content), for a decoder reading from memory. On any result but kCopied
// `out` is empty, so nothing decodes a picture with holes in it.
TempCopyResult ReadCopy(int handle, const FoundFile& file, const PreviewInfo* preview,
                        std::vector<uint8_t>& out, const std::atomic<bool>* stop = nullptr);

}  // namespace lumicarve
