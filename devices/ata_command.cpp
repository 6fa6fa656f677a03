#include "devices/ata_command.h"

#include <cstddef>

namespace lumicarve {
namespace {

constexpr uint8_t kProtocolNoData = 3;
constexpr uint8_t kProtocolPioIn = 4;
constexpr uint8_t kProtocolPioOut = 5;

uint8_t Protocol(AtaDataClass cls, uint32_t length) {
  if (length == 0 || cls == AtaDataClass::kNoData) return kProtocolNoData;
  return cls == AtaDataClass::kDataOut ? kProtocolPioOut : kProtocolPioIn;
}

// Where a command block carries the ATA registers.
struct RegisterPlaces {
  size_t features, count, lbaLow, lbaMid, lbaHigh, device, command;
};

void PlaceRegisters(uint8_t* cdb, const RegisterPlaces& at, const AtaCommand& c, uint8_t count) {
  cdb[at.features] = c.features;
  cdb[at.count] = count;
  cdb[at.lbaLow] = c.lbaLow;
  cdb[at.lbaMid] = c.lbaMid;
  cdb[at.lbaHigh] = c.lbaHigh;
  cdb[at.device] = c.device;
  cdb[at.command] = c.command;
}

}  // namespace

uint32_t TransportSkipBit(int32_t transport) {
  switch (transport) {
    case kTransportSmart: return 1u << 0;
    case kTransportPassThrough: return 1u << 1;
    case kTransportSat12: return 1u << 2;
    case kTransportBridgeDF: return 1u << 4;
    case kTransportBridgeF8: return 1u << 5;
    default: return 0;
  }
}

AtaDataClass ClassifyAtaCommand(const AtaCommand& c, int32_t transport) {
  if (c.command == kAtaSmart && c.features == 0xD6) return AtaDataClass::kDataOut;
  if (c.command == kAtaSmart && c.features == 0xD8 &&
      (transport == kTransportPassThrough || transport == kTransportSmart))
    return AtaDataClass::kNoData;
  switch (c.command) {
    case kAtaReadLogExt: case kAtaSmart: case 0xB1: case kAtaIdentifyDevice:
      return AtaDataClass::kDataIn;
    case 0x06:
      return AtaDataClass::kDataOut;
    default:
      return AtaDataClass::kNoData;
  }
}

AtaCommand IdentifyCommand(int32_t deviceSelect) {
  AtaCommand c;
  c.device = deviceSelect == 1 ? 0xB0 : 0xA0;
  c.command = kAtaIdentifyDevice;
  return c;
}

std::array<uint8_t, 16> BuildAtaPassThrough16(const AtaCommand& c, AtaDataClass cls, uint32_t length) {
  std::array<uint8_t, 16> cdb{};
  const uint8_t protocol = Protocol(cls, length);
  cdb[0] = 0x85;
  // READ LOG EXT is a 48-bit command: the extend bit makes the register
  // values go out as their 48-bit forms.
  cdb[1] = static_cast<uint8_t>(protocol << 1 | (c.command == kAtaReadLogExt ? 1 : 0));
  if (protocol != kProtocolNoData) {
    // Transfer length in the sector count field, counted in blocks; direction.
    cdb[2] = static_cast<uint8_t>(0x02 | 0x04 | (cls == AtaDataClass::kDataOut ? 0 : 0x08));
  }
  // Each register in the low byte of its 48-bit pair.
  PlaceRegisters(cdb.data(), {4, 6, 8, 10, 12, 13, 14}, c, c.sectorCount);
  return cdb;
}

std::array<uint8_t, 12> BuildSatPassThrough12(const AtaCommand& c, AtaDataClass cls, uint32_t length) {
  std::array<uint8_t, 12> cdb{};
  cdb[0] = 0xA1;
  cdb[1] = static_cast<uint8_t>(Protocol(cls, length) * 2);
  cdb[2] = static_cast<uint8_t>((length > 0 ? 2 : 0) + 4 + (cls == AtaDataClass::kDataOut ? 0 : 8));
  // The count field carries the transfer length in blocks: one, or none.
  PlaceRegisters(cdb.data(), {3, 4, 5, 6, 7, 8, 9}, c, length > 0 ? 1 : 0);
  return cdb;
}

std::array<uint8_t, 12> BuildBridgeDF(const AtaCommand& c, AtaDataClass cls, uint32_t length) {
  return {0xDF,
          static_cast<uint8_t>(cls == AtaDataClass::kDataOut ? 0x00 : 0x10),
          0x00,
          static_cast<uint8_t>(length >> 8 & 0xFF),
          static_cast<uint8_t>(length & 0xFF),
          c.features,
          c.sectorCount,
          c.lbaLow,
          c.lbaMid,
          c.lbaHigh,
          c.device,
          c.command};
}

std::array<uint8_t, 12> BuildBridgeF8(const AtaCommand& c, AtaDataClass cls, uint32_t length) {
  uint8_t direction = cls == AtaDataClass::kDataOut ? 0x11 : 0x10;
  if (length == 0) direction = 0x00;
  return {0xF8,        0x00,          0x22,     direction, static_cast<uint8_t>(length / 512 & 0xFF),
          c.features,  c.sectorCount, c.lbaLow, c.lbaMid,  c.lbaHigh,
          c.device,    c.command};
}

bool BuildDriveCmdArgs(const AtaCommand& c, AtaDataClass cls, uint32_t length,
                       std::array<uint8_t, 4>& args) {
  if (cls == AtaDataClass::kDataOut) return false;
  if (c.device != 0 && c.device != 0xA0) return false;
  const uint32_t sectors = cls == AtaDataClass::kDataIn ? length / 512 : 0;
  if (sectors > 255) return false;
  args[0] = c.command;
  // The kernel puts the second byte into the sector number register for
  // SMART (always 1 there) and into the sector count register otherwise.
  args[1] = c.command == kAtaSmart ? 1 : c.sectorCount;
  args[2] = c.features;
  args[3] = static_cast<uint8_t>(sectors);
  return true;
}

}  // namespace lumicarve
