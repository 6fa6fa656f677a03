// The window's shared state: the device table, the window's scan state, the
// display and command flags and the settings. The main frame owns it; the
// panes and dialogs read it. A scan gets its own ScanContext built from it.
#pragma once

#include <atomic>
#include <cstdint>

#include "devices/device_table.h"
#include "scan/file_types.h"

namespace lumicarve {

enum ScanState : int32_t { SCAN_IDLE = 0, SCAN_RUNNING = 1, SCAN_CANCEL = 2, SCAN_DONE = 3 };

// ActivityFlags bits.
inline constexpr int32_t kActivityScan = 1;
inline constexpr int32_t kActivityThumbnails = 2;

struct AppContext : DeviceTable {
  int32_t showDriveSerial = 0;
  int32_t scanABDrives = 0;
  uint8_t miscParameters[16] = {};
  std::atomic<int32_t> scanState{SCAN_IDLE};
  int32_t selectedTests = 0;
  int32_t selectedDeviceIndex = 0;

  int32_t previewEnabled = 1;
  int32_t displayFlags = 0;
  uint32_t scanStartTick = 0;
  // Set by the window's thread; the thumbnail worker clears its bit when it ends.
  std::atomic<int32_t> activityFlags{0};

  int32_t createDataFolders = 1;
  char namingTemplate[260] = "%Y\\%M\\%D\\%4N";
  TypeCatalogue catalogue{};
  FileTypeMask typeSelection = kAllTypes;
  int32_t minimumSize = 0;  // kilobytes
  uint8_t commandEnable[3] = {1, 0, 0};
  char thousandsSeparator = ',';

  AppContext() { FillTypeCatalogue(catalogue); }
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;
};

}  // namespace lumicarve
