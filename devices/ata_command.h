// ATA commands and the byte layouts that carry them to a drive: the SCSI
// wrappers (ATA PASS-THROUGH 16 and 12, the two USB-bridge commands) and the
// legacy drive-command request. All builders are pure.
#pragma once

#include <array>
#include <cstdint>

namespace lumicarve {

struct AtaCommand {
  uint8_t features = 0;
  uint8_t sectorCount = 0;
  uint8_t lbaLow = 0;
  uint8_t lbaMid = 0;
  uint8_t lbaHigh = 0;
  uint8_t device = 0;
  uint8_t command = 0;
};

// Transport codes of DeviceEntry::transport.
enum AtaTransport : int32_t {
  kTransportNone = 0,
  kTransportSmart = 1,        // legacy drive-command ioctl
  kTransportPassThrough = 2,  // ATA PASS-THROUGH (16) over SG_IO
  kTransportSat12 = 3,        // ATA PASS-THROUGH (12) over SG_IO
  kTransportBridgeDF = 5,
  kTransportBridgeF8 = 6,
};

// The bit of DeviceEntry::transportSkipMask that keeps a transport from being tried.
uint32_t TransportSkipBit(int32_t transport);

inline constexpr uint8_t kAtaIdentifyDevice = 0xEC;
inline constexpr uint8_t kAtaReadLogExt = 0x2F;
inline constexpr uint8_t kAtaSmart = 0xB0;

enum class AtaDataClass { kNoData, kDataIn, kDataOut };

// How `command` moves data on `transport`.
AtaDataClass ClassifyAtaCommand(const AtaCommand& command, int32_t transport);

// IDENTIFY DEVICE addressed to device 0 (A0h) or 1 (B0h).
AtaCommand IdentifyCommand(int32_t deviceSelect);

std::array<uint8_t, 16> BuildAtaPassThrough16(const AtaCommand& c, AtaDataClass cls, uint32_t length);
std::array<uint8_t, 12> BuildSatPassThrough12(const AtaCommand& c, AtaDataClass cls, uint32_t length);
std::array<uint8_t, 12> BuildBridgeDF(const AtaCommand& c, AtaDataClass cls, uint32_t length);
std::array<uint8_t, 12> BuildBridgeF8(const AtaCommand& c, AtaDataClass cls, uint32_t length);

// The four argument bytes of the legacy drive-command request: command,
// sector number (SMART) or sector count (others), features, and the number of
// 512-byte sectors read back. False when the request cannot carry the command:
// it has no data-out form, and it addresses only the drive behind the node.
bool BuildDriveCmdArgs(const AtaCommand& c, AtaDataClass cls, uint32_t length,
                       std::array<uint8_t, 4>& args);

}  // namespace lumicarve
