// Read-only libblkid probes of a disk's bytes through its open descriptor:
// the partition table, and the file system at an offset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumicarve {

struct FileSystemInfo {
  std::string name;   // "FAT32", "ext4", "ntfs"
  std::string label;
  std::string uuid;   // as libblkid writes it: "ABCD-1234" for FAT
};

// The file system in `size` bytes at byte `offset` of `handle`.
bool ProbeFileSystem(int handle, uint64_t offset, uint64_t size, FileSystemInfo& info);

struct PartitionSpan {
  uint64_t startSector;  // 512-byte sectors
  uint64_t sectors;
};

// The partitions of a partition table found in the first `size` bytes of
// `handle` (an extended partition's container left out); empty when there is
// no table.
std::vector<PartitionSpan> ProbePartitionTable(int handle, uint64_t size);

// The 32-bit volume serial in a file system's id: the last eight hex digits
// ("ABCD-1234" gives ABCD1234h).
uint32_t SerialFromUuid(const std::string& uuid);

}  // namespace lumicarve
