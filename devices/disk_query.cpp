#include "devices/disk_query.h"

#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "devices/ata_identify.h"
#include "devices/device_list.h"
#include "devices/identify_data.h"
#include "devices/scsi_command.h"
#include "devices/sysfs_text.h"
#include "scan/sector_reader.h"
#include "text/translatable.h"

namespace lumicarve {
namespace {

constexpr uint32_t kInquiryBytes = 64;
constexpr int64_t kDefaultHeads = 255;
constexpr int64_t kDefaultSectorsPerTrack = 63;

// 1 answered with its data, 0 answered INQUIRY but not READ CAPACITY, -1 no
// SCSI answer at all.
int InquireScsi(DeviceEntry& entry) {
  uint8_t inquiry[kInquiryBytes];
  const uint8_t inquiryCdb[kScsiCdbField] = {0x12, 0x00, 0x00, 0x00, kInquiryBytes, 0x00};
  if (SendScsiCommand(entry.handle, inquiryCdb, inquiry, sizeof inquiry) != 1) return -1;
  CopyDeviceText(reinterpret_cast<const char*>(inquiry + 8), 24, entry.model, sizeof entry.model);
  CopyDeviceText(reinterpret_cast<const char*>(inquiry + 32), 4, entry.revision, sizeof entry.revision);
  entry.removable = (inquiry[1] & 0x80) ? 1 : 0;
  uint8_t capacity[8];
  const uint8_t capacityCdb[kScsiCdbField] = {0x25};
  return SendScsiCommand(entry.handle, capacityCdb, capacity, sizeof capacity) == 1 ? 1 : 0;
}

// A vendor file that holds a numeric id (virtio's "0x1af4") names nobody.
bool IsVendorText(const std::string& vendor) { return !vendor.empty() && vendor.rfind("0x", 0) != 0; }

std::string FirstText(const std::string& dir, std::initializer_list<const char*> files) {
  for (const char* file : files) {
    std::string text = ReadSysfsText(dir + "/" + file);
    const size_t start = text.find_first_not_of(' ');
    if (start != std::string::npos) return text.substr(start);
  }
  return {};
}

// The kernel's own description of the disk, in place of the storage
// descriptor: vendor and product, revision, and removable when the disk gave
// no SCSI answer.
void ReadKernelDescription(DeviceEntry& entry, const std::string& sysDir, bool answeredInquiry) {
  const std::string device = sysDir + "/device";
  const std::string vendor = FirstText(device, {"vendor"});
  const std::string product = FirstText(device, {"model", "name"});
  std::string model = IsVendorText(vendor) ? vendor : "";
  if (!product.empty()) model += (model.empty() ? "" : " ") + product;
  if (model.empty() && !entry.model[0]) {
    const std::string backing = ReadSysfsText(sysDir + "/loop/backing_file");
    if (!backing.empty())
      model = "Loop " + backing.substr(backing.find_last_of('/') + 1);
    else
      model = sysDir.substr(sysDir.find_last_of('/') + 1);
  }
  if (!model.empty()) CopyDeviceText(model.c_str(), model.size(), entry.model, sizeof entry.model);
  const std::string revision = FirstText(device, {"rev", "firmware_rev", "fwrev"});
  if (!revision.empty()) CopyDeviceText(revision.c_str(), revision.size(), entry.revision, sizeof entry.revision);
  if (!answeredInquiry) entry.removable = ReadSysfsText(sysDir + "/removable") == "1" ? 1 : 0;
}

bool ReadLength(int handle, uint64_t& bytes) {
  if (::ioctl(handle, BLKGETSIZE64, &bytes) == 0) return true;
  // A regular file stands for a disk in test trees and disk images.
  struct stat st {};
  if (::fstat(handle, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  bytes = static_cast<uint64_t>(st.st_size);
  return true;
}

void StoreGeometry(DeviceEntry& entry) {
  int64_t heads = kDefaultHeads, sectors = kDefaultSectorsPerTrack;
  struct hd_geometry geometry {};
  if (::ioctl(entry.handle, HDIO_GETGEO, &geometry) == 0 && geometry.heads && geometry.sectors) {
    heads = geometry.heads;
    sectors = geometry.sectors;
  }
  entry.tracksPerCylinder = heads;
  entry.sectorsPerTrack = sectors;
  // The kernel's cylinder count is 16 bits wide and wraps on disks over about
  // 500 GB, so it is derived from the exact length instead.
  entry.cylinders = static_cast<int64_t>(entry.totalSectors / static_cast<uint64_t>(heads * sectors));
  entry.bytesPerSector = kSectorSize;
}

}  // namespace

void CapitaliseModel(char* model) {
  const char* blank = std::strchr(model, ' ');
  if (!blank || blank - model <= 3) return;
  for (char* p = model + 1; p < blank; ++p)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
}

bool QueryDisk(DeviceEntry& entry, const std::string& sysDir) {
  entry.removable = 0;
  const int scsi = InquireScsi(entry);
  if (scsi == 0) return false;
  ReadKernelDescription(entry, sysDir, scsi == 1);
  CapitaliseModel(entry.model);

  // The scan covers the device's exact length. Whole cylinders of the
  // geometry would leave up to a cylinder (about 8 MB) at the end unread.
  uint64_t bytes = 0;
  if (!ReadLength(entry.handle, bytes)) return false;
  entry.totalSectors = bytes / kSectorSize;
  if (entry.totalSectors == 0) return false;
  entry.totalBytes = entry.totalSectors * kSectorSize;
  StoreGeometry(entry);
  return true;
}

bool DescribeDiskFromSysfs(DeviceEntry& entry, const std::string& sysDir) {
  uint64_t sectors = 0;
  // sysfs counts the length in 512-byte units whatever the disk's own sector.
  if (!ReadSysfsNumber(sysDir + "/size", sectors) || sectors == 0) return false;
  ReadKernelDescription(entry, sysDir, false);
  CapitaliseModel(entry.model);
  entry.totalSectors = sectors;
  entry.totalBytes = sectors * kSectorSize;
  entry.bytesPerSector = kSectorSize;
  return true;
}

bool DescribeDisk(DeviceEntry& entry, const std::string& sysDir) {
  if (entry.handle < 0) return false;
  const Deadline deadline = std::chrono::steady_clock::now() + kIdentifyBound;
  if (!QueryDisk(entry, sysDir)) return false;
  IdentifyDrive(entry, deadline);
  return true;
}

const char* const kImageTag = QT_TRANSLATE_NOOP("Lumicarve", "[image]");

std::string DeviceLabel(const DeviceEntry& entry, const std::string& capacity, const std::string& imageTag) {
  const std::string tail = std::string(entry.model) + " [" + capacity + "]";
  std::string label = entry.isImage ? imageTag + " " : std::string();
  // Mount points that would push the model and capacity out of the line are
  // left out: the disk must stay recognisable.
  for (int i = 0; i < entry.volumeCount && i < kMaxVolumes; ++i) {
    if (!entry.volumes[i].mountPoint[0]) continue;
    const std::string part = std::string("[") + entry.volumes[i].mountPoint + "] ";
    if (label.size() + part.size() + tail.size() < sizeof entry.label) label += part;
  }
  label += tail;
  return label.substr(0, sizeof entry.label - 1);
}

void ComposeDeviceLabel(DeviceEntry& entry) {
  const std::string label = DeviceLabel(entry, CapacityText(entry.totalBytes), kImageTag);
  std::snprintf(entry.label, sizeof entry.label, "%s", label.c_str());
}

}  // namespace lumicarve
