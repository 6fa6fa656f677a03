// File lengths from headers: the atom walk (QuickTime/MP4/3GP), RIFF and BMP
// sizes, the ASF header walk and the TIFF walk that also tells RAW formats apart.
#pragma once

#include <cstdint>

#include "scan/file_types.h"
#include "scan/formats/ifd_visitor.h"
#include "scan/recognise.h"
#include "scan/scan_context.h"

namespace lumicarve {

// What a header tells of a found file's length.
struct Extent {
  enum class Kind {
    kDrop,       // no file after all, or shorter than its format's smallest header
    kLength,     // `length` bytes, the header's claim (the caller checks it against the device)
    kOpenEnded,  // the header says the file runs on without saying how far
  };
  Kind kind = Kind::kDrop;
  uint64_t length = 0;
};

// The extent of the file starting at `startSector` of the scanned device, by
// the header rule of its type. May re-type `type` (TIFF to a RAW type, ASF to
// WMV).
Extent FindExtent(ScanContext& context, uint64_t startSector, FileTypeMask& type);

// What a rule below answers for an open-ended file; 0 and 1 mean drop.
inline constexpr uint64_t kUnknownLength = ~uint64_t{0};

// Reports progress for `sector`; false when the scan was cancelled.
bool ReportProgress(ScanContext& context, uint64_t sector);

// Reads the little-endian 32-bit field at `offset` of the file's first
// sector; a failed read counts as a read error.
bool ReadStartField32(ScanContext& context, uint64_t startSector, size_t offset, uint32_t& value);

// The rules, one per format family.
// `isAtom` tells the top-level box types the walk accepts (the type's size
// lies in the 4 bytes before it).
uint64_t AtomWalkLength(ScanContext& context, uint64_t startSector,
                        bool (*isAtom)(const uint8_t* type) = IsQuickTimeAtom);
uint64_t RiffLength(ScanContext& context, uint64_t startSector);
uint32_t BitmapLength(ScanContext& context, uint64_t startSector);
uint32_t AsfLength(ScanContext& context, uint64_t startSector, FileTypeMask& type);
uint32_t WalkTiff(int handle, uint64_t startSector, FileTypeMask& type, const CancelCheck& cancelled = {});

}  // namespace lumicarve
