// Claimed extents checked against the card's clusters. A deleted, fragmented
// file's surviving header claims its whole length as one run, and whatever
// was written later into that run would be jumped over with it. Where the
// scanned device holds a FAT, exFAT or NTFS volume, files start on cluster
// boundaries: the first sector of each cluster inside a claim is tested for
// the strong signature of another file.
#pragma once

#include <cstdint>

#include "scan/file_types.h"

namespace lumicarve {

struct ClusterGeometry {
  uint64_t dataStart = 0;       // device sector of the data area's first cluster
  uint64_t dataEnd = 0;         // device sector after the volume
  uint64_t clusterSectors = 0;  // 0 when no file system was recognised
  bool known() const { return clusterSectors != 0; }
};

// Reads the boot sector at sector 0 of the device, or of the first partition
// an MBR at sector 0 lists. Returns an unknown geometry when neither holds a
// FAT, exFAT or NTFS volume.
ClusterGeometry ReadClusterGeometry(int fd, uint64_t totalSectors);

// True when `s` (a sector's 512 bytes) starts a file with a signature that
// random data and the content of a file of type `claimer` do not produce by
// chance: a JPEG with EXIF (or JFIF without EXIF, unless the claimer is a
// video, whose Motion-JPEG frames carry it), a TIFF or RAW header with a sane first IFD in
// the sector, an ftyp box, a RIFF AVI or WebP, an ASF header, a RAF header, a
// Matroska or WebM EBML header.
bool IsStrongSignature(const uint8_t* s, FileTypeMask claimer);

// The first cluster start inside the claim (`start`, `start` + `length`
// bytes) that holds a strong signature the claiming file's own structure does
// not explain (a RAW's preview where its IFDs place one), or 0.
uint64_t FindHiddenFile(int fd, const ClusterGeometry& geometry, uint64_t start, uint64_t length,
                        FileTypeMask claimer);

}  // namespace lumicarve
