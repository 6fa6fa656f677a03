// Talking ATA to a disk: sending one command over the entry's transport,
// choosing the transport, and identifying the drive.
#pragma once

#include <cstdint>

#include "devices/ata_command.h"
#include "devices/device_table.h"

namespace lumicarve {

// Sends `command` with `length` bytes of data over the entry's transport.
// False for a failed command and for a transport code that does not exist.
bool SendAtaCommand(const DeviceEntry& entry, const AtaCommand& command, void* buffer, uint32_t length);

// IDENTIFY DEVICE to the device the entry's device select names, 512 bytes.
bool IdentifyDevice(const DeviceEntry& entry, void* buffer, uint32_t length);

// Tries ATA pass-through, SMART, SAT, bridge DFh and bridge F8h in that order
// (each unless its skip bit is set); the first that identifies the drive stays
// as the entry's transport. False, with transport 0, when none did.
bool ProbeTransport(DeviceEntry& entry);

// Chooses the transport (none for a removable disk), identifies device 0, else
// device 1, and fills the identification fields. A drive that answers neither
// keeps them empty.
void IdentifyDrive(DeviceEntry& entry);

}  // namespace lumicarve
