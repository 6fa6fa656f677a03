#include "devices/scsi_command.h"

#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace lumicarve {
namespace {
// driver_status bit that only says sense data was returned.
constexpr unsigned kDriverSense = 0x08;
}  // namespace

size_t ScsiCdbLength(uint8_t operationCode) {
  if (operationCode < 0x20) return 6;
  if (operationCode < 0x60) return 10;
  return 12;
}

bool ScsiSendsData(const uint8_t cdb[kScsiCdbField]) {
  switch (cdb[0]) {
    case 0x04: case 0x0A: case 0x15: case 0x1D: case 0x2A: case 0x3B: case 0x54: case 0x55:
    case 0x5D: case 0xAA: case 0xB6: case 0xBF: case 0xF2: case 0xF9: case 0xFC:
      return true;
    case 0xF8: return cdb[3] == 0x11;
    case 0xDF: return cdb[1] == 0x00;
    case 0xA1: return cdb[1] == 0x0A;
    default: return false;
  }
}

bool AtaCommandAllowed(uint8_t ataCommand) {
  return ataCommand == 0xEC || ataCommand == 0xA1;  // IDENTIFY DEVICE, IDENTIFY PACKET DEVICE
}

bool ScsiCommandAllowed(const uint8_t* cdb, size_t cdbLength, DataDirection direction) {
  if (cdbLength == 0 || direction == DataDirection::kToDevice) return false;
  auto protocolReads = [](uint8_t protocol) { return protocol == 3 || protocol == 4; };  // no data, PIO in
  switch (cdb[0]) {
    case 0x12:  // INQUIRY
    case 0x25:  // READ CAPACITY(10)
      return true;
    case 0x85:  // ATA PASS-THROUGH(16)
      return cdbLength >= 16 && protocolReads(cdb[1] >> 1 & 0x0F) && AtaCommandAllowed(cdb[14]);
    case 0xA1:  // ATA PASS-THROUGH(12)
      return cdbLength >= 12 && protocolReads(cdb[1] >> 1 & 0x0F) && AtaCommandAllowed(cdb[9]);
    case 0xDF:  // bridge command, 10h reads
      return cdbLength >= 12 && cdb[1] == 0x10 && AtaCommandAllowed(cdb[11]);
    case 0xF8:  // bridge command, 10h reads, 00h moves no data
      return cdbLength >= 12 && (cdb[3] == 0x10 || cdb[3] == 0x00) && AtaCommandAllowed(cdb[11]);
    default:
      return false;
  }
}

int SgIoCommand(int handle, const uint8_t* cdb, size_t cdbLength, DataDirection direction,
                void* buffer, uint32_t length, unsigned timeoutSeconds, bool* unsupported) {
  if (unsupported) *unsupported = false;
  if (!ScsiCommandAllowed(cdb, cdbLength, direction)) {
    errno = EPERM;
    return -1;
  }
  uint8_t command[16] = {};
  if (cdbLength > sizeof command) return -1;
  std::memcpy(command, cdb, cdbLength);
  uint8_t sense[kScsiSenseBytes] = {};
  sg_io_hdr_t hdr{};
  hdr.interface_id = 'S';
  hdr.cmd_len = static_cast<unsigned char>(cdbLength);
  hdr.cmdp = command;
  hdr.mx_sb_len = sizeof sense;
  hdr.sbp = sense;
  hdr.dxfer_len = length;
  hdr.dxferp = length ? buffer : nullptr;
  hdr.dxfer_direction = length == 0                           ? SG_DXFER_NONE
                        : direction == DataDirection::kToDevice ? SG_DXFER_TO_DEV
                        : direction == DataDirection::kFromDevice ? SG_DXFER_FROM_DEV
                                                                : SG_DXFER_NONE;
  hdr.timeout = timeoutSeconds * 1000u;
  if (::ioctl(handle, SG_IO, &hdr) != 0) {
    if (unsupported) *unsupported = errno == EINVAL || errno == ENOTTY || errno == ENOSYS;
    return -1;
  }
  if (hdr.status != 0) return hdr.status;
  // A good status byte with a host or driver error (device gone, timeout) is
  // still a failed request, not a success.
  if (hdr.host_status != 0 || (hdr.driver_status & ~kDriverSense) != 0) return -1;
  return 1;
}

int SendScsiCommand(int handle, const uint8_t cdb[kScsiCdbField], void* buffer, uint32_t length,
                    bool* unsupported) {
  const uint32_t transfer = length & 0xFFFFu;
  const bool toDevice = ScsiSendsData(cdb);
  if (!toDevice && transfer) std::memset(buffer, 0, transfer);
  return SgIoCommand(handle, cdb, ScsiCdbLength(cdb[0]),
                     toDevice ? DataDirection::kToDevice : DataDirection::kFromDevice, buffer,
                     transfer, kScsiTimeoutSeconds, unsupported);
}

}  // namespace lumicarve
