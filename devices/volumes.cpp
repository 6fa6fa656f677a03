#include "devices/volumes.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "devices/sysfs_text.h"
#include "devices/volume_probe.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

struct VolumeSpan {
  uint64_t startSector;
  uint64_t sectors;
  std::string device;  // "major:minor" of the kernel's node for it, or empty
  uint64_t number;     // partition number, for the order
};

// Copies text of a file system or mount table (UTF-8) into a fixed field:
// control characters become '?', and a cut never splits a character.
void CopyVolumeText(const std::string& text, char* out, size_t outSize) {
  size_t n = std::min(text.size(), outSize - 1);
  while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    out[i] = c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
  }
  out[n] = '\0';
}

std::vector<VolumeSpan> KernelPartitions(const std::string& sysDir) {
  namespace fs = std::filesystem;
  std::vector<VolumeSpan> spans;
  std::error_code ec;
  for (fs::directory_iterator it(sysDir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string dir = it->path().string();
    VolumeSpan span{};
    if (!ReadSysfsNumber(dir + "/partition", span.number) || !ReadSysfsNumber(dir + "/start", span.startSector) ||
        !ReadSysfsNumber(dir + "/size", span.sectors))
      continue;
    span.device = ReadSysfsText(dir + "/dev");
    spans.push_back(span);
  }
  std::sort(spans.begin(), spans.end(), [](const VolumeSpan& a, const VolumeSpan& b) { return a.number < b.number; });
  return spans;
}

// Without partitions known to the kernel (a loop device attached without
// partition scanning, or a card formatted whole), the disk's own bytes tell:
// a partition table, else a file system filling the disk.
std::vector<VolumeSpan> SpansFromContent(const DeviceEntry& entry, const std::string& sysDir) {
  std::vector<VolumeSpan> spans;
  const uint64_t bytes = entry.totalSectors * kSectorSize;
  uint64_t number = 1;
  for (const PartitionSpan& p : ProbePartitionTable(entry.handle, bytes)) spans.push_back({p.startSector, p.sectors, "", number++});
  if (!spans.empty()) return spans;
  FileSystemInfo info;
  if (ProbeFileSystem(entry.handle, 0, bytes, info))
    spans.push_back({0, entry.totalSectors, ReadSysfsText(sysDir + "/dev"), 1});
  return spans;
}

void FillVolume(const DeviceEntry& entry, const VolumeSpan& span, const std::vector<MountEntry>& mounts,
                const std::string& root, VolumeEntry& volume) {
  volume = VolumeEntry{};
  volume.startingOffset = static_cast<int64_t>(span.startSector * kSectorSize);
  volume.sizeMiB = static_cast<int64_t>(span.sectors * kSectorSize >> 20);
  FileSystemInfo info;
  if (ProbeFileSystem(entry.handle, span.startSector * kSectorSize, span.sectors * kSectorSize, info)) {
    CopyVolumeText(info.name, volume.fileSystem, sizeof volume.fileSystem);
    CopyVolumeText(info.label, volume.label, sizeof volume.label);
    volume.serialNumber = SerialFromUuid(info.uuid);
  }
  const std::string mountPoint = span.device.empty() ? "" : FindMountPoint(mounts, span.device);
  if (mountPoint.empty()) return;
  CopyVolumeText(mountPoint, volume.mountPoint, sizeof volume.mountPoint);
  int64_t total = 0, free = 0;
  if (GetFreeSpace(UnderRoot(root, mountPoint), &total, &free)) volume.freeBytes = free;
}

}  // namespace

std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      out += static_cast<char>((field[i + 1] - '0') << 6 | (field[i + 2] - '0') << 3 | (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<MountEntry> ParseMountInfo(std::istream& in) {
  std::vector<MountEntry> mounts;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, device, root, mountPoint;
    if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
    if (device.find(':') == std::string::npos) continue;
    mounts.push_back({device, UnescapeMountField(root), UnescapeMountField(mountPoint)});
  }
  return mounts;
}

std::string FindMountPoint(const std::vector<MountEntry>& mounts, const std::string& device) {
  const MountEntry* first = nullptr;
  for (const MountEntry& m : mounts) {
    if (m.device != device) continue;
    if (m.root == "/") return m.mountPoint;
    if (!first) first = &m;
  }
  return first ? first->mountPoint : std::string();
}

bool GetFreeSpace(const std::string& root, int64_t* totalBytes, int64_t* freeBytes) {
  struct statvfs st {};
  if (::statvfs(root.c_str(), &st) != 0) return false;
  const auto clamp = [](uint64_t bytes) { return bytes > uint64_t{INT64_MAX} ? INT64_MAX : static_cast<int64_t>(bytes); };
  if (totalBytes) *totalBytes = clamp(uint64_t{st.f_blocks} * st.f_frsize);
  if (freeBytes) *freeBytes = clamp(uint64_t{st.f_bavail} * st.f_frsize);
  return true;
}

void FindDiskVolumes(DeviceEntry& entry, const std::string& sysDir, const std::string& root) {
  std::ifstream mountInfo(UnderRoot(root, "/proc/self/mountinfo"));
  const std::vector<MountEntry> mounts = ParseMountInfo(mountInfo);
  std::vector<VolumeSpan> spans = KernelPartitions(sysDir);
  if (spans.empty()) spans = SpansFromContent(entry, sysDir);
  entry.volumeCount = 0;
  for (const VolumeSpan& span : spans) {
    if (entry.volumeCount >= kMaxVolumes) break;
    // A table entry that reaches past the disk's end describes nothing readable.
    if (span.startSector >= entry.totalSectors || span.sectors > entry.totalSectors - span.startSector) continue;
    FillVolume(entry, span, mounts, root, entry.volumes[entry.volumeCount++]);
  }
}

}  // namespace lumicarve
