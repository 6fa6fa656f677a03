// The volumes on a disk: its partitions (or a file system on the whole disk),
// their file system, label and serial read by libblkid, their mount point
// from the mount table, and the free space of mounted ones.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "devices/device_table.h"

namespace lumicarve {

struct MountEntry {
  std::string device;      // "8:17", the mounted file system's device numbers
  std::string root;        // the directory of the file system that is mounted
  std::string mountPoint;  // unescaped
};

// Decodes the octal escapes of a mount table field ("\040" is a blank).
std::string UnescapeMountField(const std::string& field);

// The lines of a /proc/self/mountinfo file; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::istream& in);

// The mount point of device "major:minor": the first mount of the whole file
// system, else the first mount of any part of it; empty when not mounted.
std::string FindMountPoint(const std::vector<MountEntry>& mounts, const std::string& device);

// statvfs of a directory: the size of its file system and the bytes free to
// the user there. False when the directory cannot be asked.
bool GetFreeSpace(const std::string& root, int64_t* totalBytes, int64_t* freeBytes);

// Fills the volume slots of `entry` from the disk's /sys/block directory
// `sysDir` and the mount table under `root` ("/" on a real system).
void FindDiskVolumes(DeviceEntry& entry, const std::string& sysDir, const std::string& root);

}  // namespace lumicarve
