// The one record of shared state: the device table, the scan's state and
// counters, the preview temp file, the settings and the type catalogue. The
// main frame owns it; workers reach the rest of the system through it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "devices/device_table.h"
#include "scan/carve_hints.h"
#include "scan/file_types.h"

namespace lumicarve {

enum ScanState : int32_t { SCAN_IDLE = 0, SCAN_RUNNING = 1, SCAN_CANCEL = 2, SCAN_DONE = 3 };

// ActivityFlags bits.
inline constexpr int32_t kActivityScan = 1;
inline constexpr int32_t kActivityThumbnails = 2;

// Message codes between the workers and the main frame.
inline constexpr uint32_t WM_SCAN_NOTIFY = 0x40E;
inline constexpr uint32_t WM_LIST_REFRESH = 0x410;
inline constexpr uint32_t WM_CONTROL_REQUEST = 0x411;
inline constexpr uint32_t WM_RECOVERY_NOTIFY = 0x40E;

// WM_SCAN_NOTIFY codes (the message's wParam).
inline constexpr int kNotifyProgress = 0;    // arg: per-mille, 0 = scan ended, 1 = activity changed
inline constexpr int kNotifyFoundFile = 1;   // file: the new record
inline constexpr int kNotifyThumbnails = 2;  // arg 1: thumbnails must be remade
inline constexpr int kNotifyPhase = 3;       // arg: the ScanPhase that begins

enum ScanPhase : int32_t { kPhaseCarve = 0, kPhaseReadFileSystem = 1, kPhaseFileSystemFiles = 2 };

// What the scan thread reports to. Every call is made on the scan thread and
// returns only when the receiver has handled it (the window marshals it with a
// blocking queued call; the command line handles it in place). For a found
// file the receiver takes ownership of the record.
class ScanNotifySink {
 public:
  virtual ~ScanNotifySink() = default;
  virtual void ScanNotify(int code, int64_t arg, std::unique_ptr<FoundFile> file) = 0;
};

struct ScanContext {
  ScanNotifySink* owner = nullptr;
  int32_t showDriveSerial = 0;
  int32_t scanABDrives = 0;
  uint8_t miscParameters[16] = {};
  std::atomic<int32_t> scanState{SCAN_IDLE};
  int32_t selectedTests = 0;

  DeviceEntry devices[kMaxDevices] = {};
  int32_t deviceCount = 0;
  int32_t devicesDenied = 0;  // disks left out for lack of permission
  int32_t scannedDeviceIndex = -1;
  int32_t selectedDeviceIndex = 0;

  // Written by the scan thread only; atomics so a reader on another thread
  // never sees a torn value.
  std::atomic<int32_t> filesFound{0};
  std::atomic<int32_t> readErrors{0};
  std::atomic<int64_t> totalLength{0};
  std::atomic<int64_t> position{0};
  // Set by the scan thread when the device stopped answering (unplugged,
  // medium removed): the errno, and the sector where it happened.
  std::atomic<int32_t> deviceLostError{0};
  std::atomic<int64_t> deviceLostSector{0};

  int32_t previewEnabled = 1;
  int32_t displayFlags = 0;
  uint32_t scanStartTick = 0;
  std::atomic<int32_t> activityFlags{0};

  // False where nothing shows previews (the command line): the scan then
  // writes no preview temp files at all.
  bool writePreviewFiles = true;
  // Reads the scanned disk's file systems for original names and exact
  // extents; null scans the raw bytes alone.
  CarveHintsFactory carveHints = nullptr;
  int previewTempFd = -1;
  char previewTempPath[260] = {};

  int32_t createDataFolders = 1;
  char namingTemplate[260] = "%Y\\%M\\%D\\%4N";
  TypeCatalogue catalogue{};
  FileTypeMask typeSelection = kAllTypes;
  int32_t minimumSize = 0;  // kilobytes
  uint8_t commandEnable[3] = {1, 0, 0};
  char thousandsSeparator = ',';

  ScanContext() { FillTypeCatalogue(catalogue); }
  ScanContext(const ScanContext&) = delete;
  ScanContext& operator=(const ScanContext&) = delete;

  // The entry all sector reads use, or null while no device is scanned.
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
