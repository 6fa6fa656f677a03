// Talking ATA to a disk: sending one command over the entry's transport,
// choosing the transport, and identifying the drive.
#pragma once

#include <chrono>
#include <cstdint>

#include "devices/ata_command.h"
#include "devices/device_table.h"

namespace lumicarve {

// Sends `command` with `length` bytes of data over the entry's transport.
// False for a failed command and for a transport code that does not exist.
bool SendAtaCommand(const DeviceEntry& entry, const AtaCommand& command, void* buffer, uint32_t length);

// IDENTIFY DEVICE to the device the entry's device select names, 512 bytes.
bool IdentifyDevice(const DeviceEntry& entry, void* buffer, uint32_t length);

// Each command times out after a few seconds, and no command starts after
// the deadline: a drive that answers nothing is given up on as a whole.
using Deadline = std::chrono::steady_clock::time_point;
inline constexpr std::chrono::seconds kIdentifyBound{15};

// Tries ATA pass-through, SMART, SAT, bridge DFh and bridge F8h in that order
// (each unless its skip bit is set); the first that identifies the drive stays
// as the entry's transport. False, with transport 0, when none did.
bool ProbeTransport(DeviceEntry& entry, Deadline deadline);

// Chooses the transport (none for a removable disk), identifies device 0, else
// device 1, and fills the identification fields. A drive that answers neither,
// or not before the deadline, keeps them empty.
void IdentifyDrive(DeviceEntry& entry, Deadline deadline);

}  // namespace lumicarve
