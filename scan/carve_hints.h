// What a source of knowledge beyond the raw bytes (the card's file system)
// tells the scan loop: where a found file really ends and what it was
// called. The scan loop works without one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "scan/file_types.h"

namespace lumicarve {

struct ScanContext;

struct SettledExtent {
  uint64_t length = 0;      // bytes the file has
  uint64_t contiguous = 0;  // bytes from the start sector that are the file's
  std::shared_ptr<const FileOrigin> origin;
};

class CarveHints {
 public:
  virtual ~CarveHints() = default;
  // Runs before the carve; may read the device and report progress. False
  // when the scan was cancelled meanwhile.
  virtual bool Prepare(ScanContext& context) = 0;
  // The extent of a file the carve found at `startSector` with the claimed
  // `length` (0 when the carve could not tell it).
  virtual SettledExtent Settle(uint64_t startSector, uint64_t length, FileTypeMask type) = 0;
  // After the carve: files the hints know of that the carve did not list at
  // their start, of a type in `enabled`. False when cancelled.
  virtual bool ListUnfound(ScanContext& context, FileTypeMask enabled,
                           const std::function<void(FileTypeMask type, uint64_t startSector, SettledExtent extent)>&
                               list) = 0;
};

// Makes the hints for one scan of `context`'s scanned device; set by a front
// end that wants them.
using CarveHintsFactory = std::unique_ptr<CarveHints> (*)(ScanContext& context);

}  // namespace lumicarve
