// File lengths from headers: the dispatch to each format's extent rule, and
// what several rules share (reading the file's first sectors, the atom walk).
#pragma once

#include <cstdint>

#include "scan/byte_view.h"
#include "scan/file_types.h"
#include "scan/formats/registry.h"
#include "scan/recognise.h"
#include "scan/scan_context.h"

namespace lumicarve {

// The extent of the file starting at `startSector` of the scanned device, by
// the header rule of its type. May re-type `type` (TIFF to a RAW type, ASF to
// WMV).
Extent FindExtent(ScanContext& context, uint64_t startSector, FileTypeMask& type);

// Reports progress for `sector`; false when the scan was cancelled.
bool ReportProgress(ScanContext& context, uint64_t sector);

// Reads `sectors` sectors from the file's first on; a failed read
// counts as a read error.
bool ReadStartSectors(ScanContext& context, uint64_t startSector, uint32_t sectors, uint8_t* out);

// Reads the little-endian 32-bit field at `offset` of the file's first
// sector; a failed read counts as a read error.
bool ReadStartField32(ScanContext& context, uint64_t startSector, size_t offset, uint32_t& value);

// The length of the unbroken chain of top-level atoms (QuickTime, ISO media)
// from the file's start; `isAtom` tells the atom types the walk accepts by
// the header (size, type) at `at` of `v`.
Extent AtomWalkExtent(ScanContext& context, uint64_t startSector,
                      bool (*isAtom)(const ByteView& v, size_t at) = IsQuickTimeAtom);

}  // namespace lumicarve
