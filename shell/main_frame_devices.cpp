// The main frame's side of listing the disks: the enumerator's reports
// brought into the device table and the device list, on the window's thread.
#include <QComboBox>

#include "devices/device_list.h"
#include "shell/control_pane.h"
#include "shell/main_frame.h"
#include "shell/window_strings.h"

namespace lumicarve {

void CMainFrame::devicesListed(const std::vector<BlockDisk>& present) {
  newDisksFrom_ = context_.deviceCount;
  // Disks are taken out only between scans; one gone meanwhile goes after it.
  if (context_.scanState.load() == SCAN_RUNNING) {
    refreshAfterScan_ = true;
    return;
  }
  // The device whose results are listed keeps its entry, gone or not.
  const int keep = storage_.Unsorted() ? context_.scannedDeviceIndex : -1;
  if (RemoveAbsentDisks(context_, present, keep, context_.selectedDeviceIndex)) controlPane_->reloadDevices();
  newDisksFrom_ = context_.deviceCount;
  showDeniedDisks();
}

void CMainFrame::deviceDescribed(const std::optional<DeviceEntry>& entry, bool denied) {
  if (!entry) {
    if (denied) {
      ++context_.devicesDenied;
      showDeniedDisks();
    }
    return;
  }
  // The new disks keep the listing's order among themselves, whichever is
  // described first; the entries before them stay where they are.
  int at = newDisksFrom_;
  while (at < context_.deviceCount &&
         (context_.devices[at].isImage || context_.devices[at].diskNumber < entry->diskNumber))
    ++at;
  const int index = InsertDeviceEntry(context_, *entry, at, context_.selectedDeviceIndex);
  if (index < 0) return;
  controlPane_->insertDeviceItem(index, DeviceLabelText(context_.devices[index]));
  if (entry->needsAccess) showDeniedDisks();
}

void CMainFrame::enumerationFinished() {
  if (!refreshAgain_) return;
  refreshAgain_ = false;
  refreshDevices();
}

}  // namespace lumicarve
