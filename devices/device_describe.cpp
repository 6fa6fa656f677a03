#include "devices/device_describe.h"

#include "devices/ata_command.h"

namespace lumicarve {

const char* TransportName(int32_t transport) {
  switch (transport) {
    case kTransportSmart: return "SMART requests";
    case kTransportPassThrough: return "ATA pass-through";
    case kTransportSat12: return "SAT ATA pass-through (12)";
    case kTransportBridgeDF: return "USB bridge (DFh)";
    case kTransportBridgeF8: return "USB bridge (F8h)";
    default: return "none";
  }
}

const char* FeatureName(int feature) {
  static constexpr const char* kNames[kFeatureCount] = {
      "SMART", "48-bit addressing", "write cache", "host protected area",
      "device configuration overlay", "automatic acoustic management", "power management",
      "advanced power management", "power-up in standby", "security", "look-ahead",
      "download microcode", "native command queuing", "host-initiated power management"};
  return feature >= 0 && feature < kFeatureCount ? kNames[feature] : "";
}

std::string KnownFeaturesText(const DeviceEntry& entry) {
  std::string text;
  auto add = [&text](const char* name, int32_t flag) {
    if (flag == 0) return;
    if (!text.empty()) text += ", ";
    text += std::string(name) + (flag > 0 ? " yes" : " no");
  };
  for (int f = 0; f < kFeatureCount; ++f) add(FeatureName(f), entry.features[f]);
  add("data set management", entry.dataSetManagement);
  add("SCT data tables", entry.sctDataTables);
  return text;
}

std::string DeniedDevicesText(int count, bool runningAsRoot) {
  if (count <= 0) return {};
  std::string text = std::to_string(count) + (count == 1 ? " disk" : " disks") +
                     " could not be opened (permission denied)";
  if (runningAsRoot) return text + ".";
  return text + ": run lumicarve-cli with sudo to scan a physical disk.";
}

}  // namespace lumicarve
