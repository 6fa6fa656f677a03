// SCSI commands to a disk through the kernel's SG_IO request. The CDB length
// and the transfer direction are decided by pure functions so they can be
// checked without a drive.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumicarve {

inline constexpr size_t kScsiCdbField = 12;   // every command is given as 12 bytes
inline constexpr size_t kScsiSenseBytes = 32;
// The program only asks a disk about itself, which a working disk answers
// at once; a bad bridge or a dying drive must not hold the listing up.
inline constexpr unsigned kScsiTimeoutSeconds = 5;

// 6, 10 or 12 by the operation code's group: below 20h, 20h to 5Fh, 60h up.
size_t ScsiCdbLength(uint8_t operationCode);

// True when the command sends data to the device: the write-type operation
// codes and the write forms of the ATA commands wrapped in SCSI commands.
bool ScsiSendsData(const uint8_t cdb[kScsiCdbField]);

enum class DataDirection { kNone, kToDevice, kFromDevice };

// The program only ever asks a disk about itself: INQUIRY, READ CAPACITY(10),
// and ATA IDENTIFY DEVICE or IDENTIFY PACKET DEVICE carried by an ATA
// pass-through or a USB-bridge command, reading or moving no data. Anything
// else (a write, FORMAT UNIT, WRITE BUFFER, a SMART or log write, TRIM) is
// refused before it reaches the kernel: a read-only descriptor does not stop
// a write sent through SG_IO.
bool ScsiCommandAllowed(const uint8_t* cdb, size_t cdbLength, DataDirection direction);
bool AtaCommandAllowed(uint8_t ataCommand);

// One SG_IO request with a CDB of `cdbLength` bytes. Returns 1 on GOOD status,
// -1 when the request itself failed (or the transport reported an error with a
// good status byte), otherwise the SCSI status byte. When SG_IO itself is not
// supported by the device (a loop device, a plain file) `*unsupported` is set.
// A command ScsiCommandAllowed refuses is never sent: -1, errno EPERM.
int SgIoCommand(int handle, const uint8_t* cdb, size_t cdbLength, DataDirection direction,
                void* buffer, uint32_t length, unsigned timeoutSeconds, bool* unsupported = nullptr);

// Sends the first 6, 10 or 12 bytes of `cdb` (by its operation code) with
// `length` bytes of data (only the low 16 bits count) in the direction the
// command implies; the buffer of a reading command is zeroed first.
// 1 success, -1 the request failed, else the SCSI status of the command.
int SendScsiCommand(int handle, const uint8_t cdb[kScsiCdbField], void* buffer, uint32_t length,
                    bool* unsupported = nullptr);

}  // namespace lumicarve
