#include "devices/volume_probe.h"

#include <blkid/blkid.h>

#include <cctype>
#include <memory>

namespace lumicarve {
namespace {

struct ProbeDeleter {
  void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};
using Probe = std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter>;

// A probe over bytes of a descriptor the table already holds read-only; the
// probe never closes or writes it.
Probe NewProbe(int handle, uint64_t offset, uint64_t size) {
  Probe probe(blkid_new_probe());
  if (!probe) return nullptr;
  if (blkid_probe_set_device(probe.get(), handle, static_cast<blkid_loff_t>(offset),
                             static_cast<blkid_loff_t>(size)) != 0)
    return nullptr;
  return probe;
}

std::string Value(blkid_probe probe, const char* name) {
  const char* data = nullptr;
  size_t length = 0;
  if (blkid_probe_lookup_value(probe, name, &data, &length) != 0 || !data) return {};
  std::string text(data, length);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

}  // namespace

bool ProbeFileSystem(int handle, uint64_t offset, uint64_t size, FileSystemInfo& info) {
  Probe probe = NewProbe(handle, offset, size);
  if (!probe) return false;
  blkid_probe_enable_partitions(probe.get(), 0);
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL |
                                                     BLKID_SUBLKS_UUID | BLKID_SUBLKS_VERSION |
                                                     BLKID_SUBLKS_USAGE);
  blkid_probe_filter_superblocks_usage(probe.get(), BLKID_FLTR_ONLYIN, BLKID_USAGE_FILESYSTEM);
  if (blkid_do_safeprobe(probe.get()) != 0) return false;
  const std::string type = Value(probe.get(), "TYPE");
  if (type.empty()) return false;
  const std::string version = Value(probe.get(), "VERSION");
  // FAT reports its width as the version: "FAT32" is what users know.
  info.name = type == "vfat" && !version.empty() ? version : type;
  info.label = Value(probe.get(), "LABEL");
  info.uuid = Value(probe.get(), "UUID");
  return true;
}

std::vector<PartitionSpan> ProbePartitionTable(int handle, uint64_t size) {
  std::vector<PartitionSpan> spans;
  Probe probe = NewProbe(handle, 0, size);
  if (!probe) return spans;
  blkid_probe_enable_superblocks(probe.get(), 0);
  blkid_probe_enable_partitions(probe.get(), 1);
  blkid_partlist list = blkid_probe_get_partitions(probe.get());
  if (!list) return spans;
  const int count = blkid_partlist_numof_partitions(list);
  for (int i = 0; i < count; ++i) {
    blkid_partition part = blkid_partlist_get_partition(list, i);
    if (!part || blkid_partition_is_extended(part)) continue;
    const blkid_loff_t start = blkid_partition_get_start(part);
    const blkid_loff_t sectors = blkid_partition_get_size(part);
    if (start < 0 || sectors <= 0) continue;
    spans.push_back({static_cast<uint64_t>(start), static_cast<uint64_t>(sectors)});
  }
  return spans;
}

uint32_t SerialFromUuid(const std::string& uuid) {
  std::string hex;
  for (char c : uuid)
    if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
  if (hex.size() > 8) hex = hex.substr(hex.size() - 8);
  uint32_t serial = 0;
  for (char c : hex) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
    serial = serial << 4 | static_cast<uint32_t>(digit);
  }
  return serial;
}

}  // namespace lumicarve
