// lumicarve-cli devices: the table of disks the scan can read, as the window's
// device list shows it, with each disk's description and volumes.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/cli_commands.h"
#include "devices/device_describe.h"
#include "devices/device_list.h"

namespace lumicarve::cli {
namespace {

const char* OrDash(const char* text) { return text && text[0] ? text : "-"; }

void PrintVolume(const VolumeEntry& v, int number) {
  std::printf("    volume %d: %s, %s, label %s, serial %04X-%04X, %" PRId64 " MiB", number,
              v.mountPoint[0] ? v.mountPoint : "not mounted", OrDash(v.fileSystem), OrDash(v.label),
              v.serialNumber >> 16, v.serialNumber & 0xFFFF, v.sizeMiB);
  if (v.mountPoint[0]) std::printf(", %s free", CapacityText(static_cast<uint64_t>(v.freeBytes)).c_str());
  std::printf(", at byte %" PRId64 "\n", v.startingOffset);
}

void PrintDevice(const DeviceEntry& d, int index) {
  std::printf("%d  %s\n", index, d.label);
  std::printf("    path: %s\n", d.path);
  std::printf("    model: %s\n", OrDash(d.model));
  std::printf("    revision: %s\n", OrDash(d.revision));
  std::printf("    serial: %s\n", OrDash(d.serialNumber));
  std::printf("    capacity: %s (%" PRIu64 " bytes, %" PRIu64 " sectors)\n", CapacityText(d.totalBytes).c_str(),
              d.totalBytes, d.totalSectors);
  std::printf("    removable: %s\n", d.removable ? "yes" : "no");
  std::printf("    transport: %s\n", TransportName(d.transport));
  std::printf("    standard: %s\n", OrDash(d.standardText));
  std::printf("    transfer mode: highest %s, selected %s\n", OrDash(d.highestTransferMode),
              OrDash(d.selectedTransferMode));
  const std::string features = KnownFeaturesText(d);
  std::printf("    features: %s\n", features.empty() ? "not known" : features.c_str());
  if (d.volumeCount == 0) std::printf("    volumes: none found\n");
  for (int i = 0; i < d.volumeCount && i < kMaxVolumes; ++i) PrintVolume(d.volumes[i], i + 1);
}

void PrintUsage(FILE* out) {
  std::fputs("usage: lumicarve-cli devices [--root DIR]\n"
             "Lists the disks that can be scanned; 'lumicarve-cli scan N' scans disk N.\n"
             "  --root DIR  read /sys, /proc and /dev below DIR instead of the system's\n"
             "A disk is listed only if it can be opened: run with sudo to see every disk.\n",
             out);
}

}  // namespace

int RunDevicesCommand(int argc, char** argv) {
  std::string root = "/";
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      PrintUsage(stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--root") && i + 1 < argc) {
      root = argv[++i];
      continue;
    }
    std::fprintf(stderr, "lumicarve-cli devices: unknown argument '%s'\n", argv[i]);
    PrintUsage(stderr);
    return 2;
  }
  auto context = std::make_unique<DeviceTable>();
  BuildDeviceTable(*context, root);
  if (context->deviceCount == 0) std::printf("No disk can be scanned.\n");
  for (int i = 0; i < context->deviceCount; ++i) PrintDevice(context->devices[i], i);
  const std::string denied = DeniedDevicesText(context->devicesDenied, ::geteuid() == 0);
  if (!denied.empty()) std::printf("%s\n", denied.c_str());
  return 0;
}

}  // namespace lumicarve::cli
