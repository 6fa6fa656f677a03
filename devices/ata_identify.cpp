#include "devices/ata_identify.h"

#include <linux/hdreg.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "devices/identify_data.h"
#include "devices/scsi_command.h"

namespace lumicarve {
namespace {

// A drive answers IDENTIFY from its memory; a few seconds allow for one that
// wakes from standby.
constexpr unsigned kAtaTimeoutSeconds = 5;

bool SendPassThrough16(int handle, const AtaCommand& c, AtaDataClass cls, void* buffer, uint32_t length) {
  const auto cdb = BuildAtaPassThrough16(c, cls, length);
  const DataDirection direction = cls == AtaDataClass::kDataOut  ? DataDirection::kToDevice
                                  : cls == AtaDataClass::kDataIn ? DataDirection::kFromDevice
                                                                 : DataDirection::kNone;
  const uint32_t transfer = direction == DataDirection::kNone ? 0 : length;
  if (direction == DataDirection::kFromDevice && transfer) std::memset(buffer, 0, transfer);
  // Without the check-condition bit a GOOD status means the drive's error bit
  // was clear; a failed ATA command comes back as CHECK CONDITION.
  return SgIoCommand(handle, cdb.data(), cdb.size(), direction, buffer, transfer, kAtaTimeoutSeconds) == 1;
}

bool SendDriveCmd(int handle, const AtaCommand& c, AtaDataClass cls, void* buffer, uint32_t length) {
  std::array<uint8_t, 4> args{};
  if (!BuildDriveCmdArgs(c, cls, length, args)) return false;
  const uint32_t data = args[3] * 512u;
  std::vector<uint8_t> request(4 + data);
  std::memcpy(request.data(), args.data(), args.size());
  // The request carries no timeout of its own: the kernel bounds it (libata
  // gives it ten seconds).
  if (::ioctl(handle, HDIO_DRIVE_CMD, request.data()) != 0) return false;
  if (data) std::memcpy(buffer, request.data() + 4, data < length ? data : length);
  return true;
}

bool SendWrapped(int handle, const std::array<uint8_t, 12>& cdb, void* buffer, uint32_t length) {
  return SendScsiCommand(handle, cdb.data(), buffer, length) == 1;
}

}  // namespace

bool SendAtaCommand(const DeviceEntry& entry, const AtaCommand& command, void* buffer, uint32_t length) {
  if (entry.handle < 0) return false;
  if (!AtaCommandAllowed(command.command)) {
    errno = EPERM;
    return false;
  }
  const AtaDataClass cls = ClassifyAtaCommand(command, entry.transport);
  switch (entry.transport) {
    case kTransportPassThrough:
      return SendPassThrough16(entry.handle, command, cls, buffer, length);
    case kTransportSmart:
      return SendDriveCmd(entry.handle, command, cls, buffer, length);
    case kTransportSat12:
      return SendWrapped(entry.handle, BuildSatPassThrough12(command, cls, length), buffer, length);
    case kTransportBridgeDF:
      return SendWrapped(entry.handle, BuildBridgeDF(command, cls, length), buffer, length);
    case kTransportBridgeF8:
      return SendWrapped(entry.handle, BuildBridgeF8(command, cls, length), buffer, length);
    default:
      return false;
  }
}

bool IdentifyDevice(const DeviceEntry& entry, void* buffer, uint32_t length) {
  return SendAtaCommand(entry, IdentifyCommand(entry.deviceSelect), buffer, length);
}

bool ProbeTransport(DeviceEntry& entry, Deadline deadline) {
  static constexpr int32_t kOrder[] = {kTransportPassThrough, kTransportSmart, kTransportSat12,
                                       kTransportBridgeDF, kTransportBridgeF8};
  uint8_t answer[kIdentifyBytes];
  for (int32_t transport : kOrder) {
    if (entry.transportSkipMask & TransportSkipBit(transport)) continue;
    if (std::chrono::steady_clock::now() >= deadline) break;
    entry.transport = transport;
    if (IdentifyDevice(entry, answer, sizeof answer)) return true;
  }
  entry.transport = kTransportNone;
  return false;
}

void IdentifyDrive(DeviceEntry& entry, Deadline deadline) {
  if (entry.removable)
    entry.transport = kTransportNone;
  else
    ProbeTransport(entry, deadline);
  auto identify = [&](uint8_t* answer) {
    return std::chrono::steady_clock::now() < deadline && IdentifyDevice(entry, answer, kIdentifyBytes);
  };
  uint8_t answer[kIdentifyBytes];
  entry.deviceSelect = 0;
  if (!identify(answer)) {
    entry.deviceSelect = 1;
    if (!identify(answer)) return;
  }
  ParseIdentifyData(answer, entry);
}

}  // namespace lumicarve
