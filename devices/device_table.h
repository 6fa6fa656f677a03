// The table of disks (and disk images) that can be scanned, with their volumes.
// Entries are plain data; once built, the table is only read.
#pragma once

#include <cstdint>

namespace lumicarve {

inline constexpr int kMaxDevices = 32;
inline constexpr int kMaxVolumes = 32;

// One volume (partition, or a file system on the whole disk). The mount point
// plays the part of a drive letter: empty means the volume adds nothing to the
// disk's label.
struct VolumeEntry {
  char mountPoint[256];
  char fileSystem[32];
  int64_t sizeMiB;
  int64_t freeBytes;
  int64_t startingOffset;  // bytes from the start of the disk
  char label[32];
  uint32_t serialNumber;
};

// Feature flags: 1 supported, -1 not supported, 0 not known.
enum AtaFeature : int {
  kFeatureSmart, kFeature48Bit, kFeatureWriteCache, kFeatureHpa, kFeatureDco,
  kFeatureAam, kFeaturePowerManagement, kFeatureApm, kFeaturePowerUpStandby,
  kFeatureSecurity, kFeatureLookAhead, kFeatureDownloadMicrocode, kFeatureNcq,
  kFeatureHipm, kFeatureCount
};

struct DeviceEntry {
  int handle;          // read-only descriptor, -1 when not open
  int32_t diskNumber;  // matches volumes to their disk
  int32_t deviceSelect;
  int32_t transport;   // 0 none, 1 SMART, 2 ATA pass-through, 3 SAT(12), 5/6 bridges
  uint32_t transportSkipMask;
  char model[32];
  char revision[12];
  char serialNumber[24];
  uint64_t totalSectors;  // 512-byte sectors the scan covers
  uint64_t totalBytes;
  int64_t cylinders;
  int64_t tracksPerCylinder;
  int64_t sectorsPerTrack;
  int64_t bytesPerSector;
  int32_t driveBufferBytes;
  char standardText[64];
  char highestTransferMode[64];
  char selectedTransferMode[64];
  int32_t features[kFeatureCount];
  int32_t rotationRate;
  int32_t dataSetManagement;
  int32_t sctDataTables;
  int32_t securityEraseTime;
  int32_t removable;
  int32_t isImage;     // 1 for a disk image file added by the user
  // 1 for a disk listed without a handle because this user may not open it:
  // the window can ask the system for a read-only descriptor and adopt it.
  int32_t needsAccess;
  char path[256];      // /dev/sdb, or the image file
  char label[256];     // the line the device list shows
  int32_t volumeCount;
  VolumeEntry volumes[kMaxVolumes];
};

// The disks that can be scanned, densely from slot 0, and which one the scan
// reads. Built above the engine: a scan gets a copy of its entry's handle and
// size, never the table.
struct DeviceTable {
  DeviceEntry devices[kMaxDevices] = {};
  int32_t deviceCount = 0;
  int32_t devicesDenied = 0;  // disks left out for lack of permission
  int32_t scannedDeviceIndex = -1;

  // The entry the last scan read (and the file list's reads use), or null.
  const DeviceEntry* ScannedDevice() const {
    if (scannedDeviceIndex < 0 || scannedDeviceIndex >= deviceCount) return nullptr;
    return &devices[scannedDeviceIndex];
  }
  int ScannedHandle() const {
    const DeviceEntry* d = ScannedDevice();
    return d ? d->handle : -1;
  }
  uint64_t ScannedSectors() const {
    const DeviceEntry* d = ScannedDevice();
    return d ? d->totalSectors : 0;
  }
};

}  // namespace lumicarve
