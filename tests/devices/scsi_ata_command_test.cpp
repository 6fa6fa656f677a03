// The command bytes that carry SCSI and ATA commands to a drive.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "devices/ata_command.h"
#include "devices/ata_identify.h"
#include "devices/scsi_command.h"

namespace lumicarve {
namespace {

std::vector<uint8_t> Bytes(const auto& array) { return {array.begin(), array.end()}; }

AtaCommand Command(uint8_t command, uint8_t features = 0) {
  AtaCommand c;
  c.features = features;
  c.sectorCount = 0x11;
  c.lbaLow = 0x22;
  c.lbaMid = 0x33;
  c.lbaHigh = 0x44;
  c.device = 0xA0;
  c.command = command;
  return c;
}

const AtaCommand kIdentify = Command(0xEC);          // data in
const AtaCommand kDataSetManagement = Command(0x06);  // data out
const AtaCommand kStandby = Command(0xE0);            // no data

TEST(ScsiCdbLength, followsTheOperationCodeGroup) {
  EXPECT_EQ(ScsiCdbLength(0x00), 6u);
  EXPECT_EQ(ScsiCdbLength(0x12), 6u);  // INQUIRY
  EXPECT_EQ(ScsiCdbLength(0x1F), 6u);
  EXPECT_EQ(ScsiCdbLength(0x20), 10u);
  EXPECT_EQ(ScsiCdbLength(0x25), 10u);  // READ CAPACITY(10)
  EXPECT_EQ(ScsiCdbLength(0x5F), 10u);
  EXPECT_EQ(ScsiCdbLength(0x60), 12u);
  EXPECT_EQ(ScsiCdbLength(0xA1), 12u);
  EXPECT_EQ(ScsiCdbLength(0xFF), 12u);
}

TEST(ScsiSendsData, isTrueForWriteCommandsAndTheWriteFormsOfWrappedAtaCommands) {
  for (uint8_t op : {0x04, 0x0A, 0x15, 0x1D, 0x2A, 0x3B, 0x54, 0x55, 0x5D, 0xAA, 0xB6, 0xBF, 0xF2, 0xF9, 0xFC}) {
    const uint8_t cdb[kScsiCdbField] = {op};
    EXPECT_TRUE(ScsiSendsData(cdb)) << int(op);
  }
  for (uint8_t op : {0x00, 0x08, 0x12, 0x25, 0x28, 0x88}) {
    const uint8_t cdb[kScsiCdbField] = {op};
    EXPECT_FALSE(ScsiSendsData(cdb)) << int(op);
  }
  // The ATA wrappers are sent in the direction of the ATA command inside.
  for (const AtaCommand* c : {&kIdentify, &kDataSetManagement, &kStandby}) {
    const bool out = c == &kDataSetManagement;
    const uint32_t length = c == &kStandby ? 0 : 512;
    const AtaDataClass cls = ClassifyAtaCommand(*c, kTransportSat12);
    EXPECT_EQ(ScsiSendsData(BuildSatPassThrough12(*c, cls, length).data()), out) << int(c->command);
    EXPECT_EQ(ScsiSendsData(BuildBridgeDF(*c, cls, length).data()), out) << int(c->command);
    EXPECT_EQ(ScsiSendsData(BuildBridgeF8(*c, cls, length).data()), out) << int(c->command);
  }
}

TEST(ClassifyAtaCommand, followsTheCommandTableAndTheSmartExceptions) {
  EXPECT_EQ(ClassifyAtaCommand(Command(0xEC), kTransportSat12), AtaDataClass::kDataIn);
  EXPECT_EQ(ClassifyAtaCommand(Command(0x2F), kTransportSat12), AtaDataClass::kDataIn);
  EXPECT_EQ(ClassifyAtaCommand(Command(0xB1), kTransportSat12), AtaDataClass::kDataIn);
  EXPECT_EQ(ClassifyAtaCommand(Command(0x06), kTransportSat12), AtaDataClass::kDataOut);
  EXPECT_EQ(ClassifyAtaCommand(Command(0xE0), kTransportSat12), AtaDataClass::kNoData);
  // SMART WRITE LOG sends data on every transport.
  for (int32_t t : {kTransportSmart, kTransportPassThrough, kTransportSat12, kTransportBridgeDF})
    EXPECT_EQ(ClassifyAtaCommand(Command(0xB0, 0xD6), t), AtaDataClass::kDataOut);
  // SMART ENABLE moves no data on the pass-through and SMART transports only.
  EXPECT_EQ(ClassifyAtaCommand(Command(0xB0, 0xD8), kTransportPassThrough), AtaDataClass::kNoData);
  EXPECT_EQ(ClassifyAtaCommand(Command(0xB0, 0xD8), kTransportSmart), AtaDataClass::kNoData);
  EXPECT_EQ(ClassifyAtaCommand(Command(0xB0, 0xD8), kTransportSat12), AtaDataClass::kDataIn);
  EXPECT_EQ(ClassifyAtaCommand(Command(0xB0, 0xD0), kTransportSmart), AtaDataClass::kDataIn);
}

TEST(IdentifyCommand, addressesDeviceZeroOrOne) {
  EXPECT_EQ(IdentifyCommand(0).device, 0xA0);
  EXPECT_EQ(IdentifyCommand(1).device, 0xB0);
  EXPECT_EQ(IdentifyCommand(0).command, 0xEC);
  EXPECT_EQ(IdentifyCommand(0).features, 0);
}

TEST(BuildSatPassThrough12, setsProtocolTransferFieldsAndRegisters) {
  EXPECT_EQ(Bytes(BuildSatPassThrough12(kIdentify, AtaDataClass::kDataIn, 512)),
            (std::vector<uint8_t>{0xA1, 0x08, 0x0E, 0x00, 0x01, 0x22, 0x33, 0x44, 0xA0, 0xEC, 0, 0}));
  EXPECT_EQ(Bytes(BuildSatPassThrough12(kDataSetManagement, AtaDataClass::kDataOut, 512)),
            (std::vector<uint8_t>{0xA1, 0x0A, 0x06, 0x00, 0x01, 0x22, 0x33, 0x44, 0xA0, 0x06, 0, 0}));
  EXPECT_EQ(Bytes(BuildSatPassThrough12(kStandby, AtaDataClass::kNoData, 0)),
            (std::vector<uint8_t>{0xA1, 0x06, 0x0C, 0x00, 0x00, 0x22, 0x33, 0x44, 0xA0, 0xE0, 0, 0}));
  // A data-in command without a buffer is sent as non-data.
  EXPECT_EQ(BuildSatPassThrough12(kIdentify, AtaDataClass::kDataIn, 0)[1], 0x06);
}

TEST(BuildBridgeDF, carriesTheLengthBigEndianAndTheRegisters) {
  EXPECT_EQ(Bytes(BuildBridgeDF(kIdentify, AtaDataClass::kDataIn, 512)),
            (std::vector<uint8_t>{0xDF, 0x10, 0x00, 0x02, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0xA0, 0xEC}));
  EXPECT_EQ(Bytes(BuildBridgeDF(kDataSetManagement, AtaDataClass::kDataOut, 512)),
            (std::vector<uint8_t>{0xDF, 0x00, 0x00, 0x02, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0xA0, 0x06}));
  EXPECT_EQ(Bytes(BuildBridgeDF(kStandby, AtaDataClass::kNoData, 0)),
            (std::vector<uint8_t>{0xDF, 0x10, 0x00, 0x00, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0xA0, 0xE0}));
}

TEST(BuildBridgeF8, carriesTheDirectionAndTheLengthInSectors) {
  EXPECT_EQ(Bytes(BuildBridgeF8(kIdentify, AtaDataClass::kDataIn, 512)),
            (std::vector<uint8_t>{0xF8, 0x00, 0x22, 0x10, 0x01, 0x00, 0x11, 0x22, 0x33, 0x44, 0xA0, 0xEC}));
  EXPECT_EQ(Bytes(BuildBridgeF8(kDataSetManagement, AtaDataClass::kDataOut, 1024)),
            (std::vector<uint8_t>{0xF8, 0x00, 0x22, 0x11, 0x02, 0x00, 0x11, 0x22, 0x33, 0x44, 0xA0, 0x06}));
  EXPECT_EQ(Bytes(BuildBridgeF8(kStandby, AtaDataClass::kNoData, 0)),
            (std::vector<uint8_t>{0xF8, 0x00, 0x22, 0x00, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0xA0, 0xE0}));
}

TEST(BuildAtaPassThrough16, putsTheRegistersInTheirLowBytesAndMarksFortyEightBitCommands) {
  EXPECT_EQ(Bytes(BuildAtaPassThrough16(kIdentify, AtaDataClass::kDataIn, 512)),
            (std::vector<uint8_t>{0x85, 0x08, 0x0E, 0, 0x00, 0, 0x11, 0, 0x22, 0, 0x33, 0, 0x44, 0xA0, 0xEC, 0}));
  EXPECT_EQ(Bytes(BuildAtaPassThrough16(kDataSetManagement, AtaDataClass::kDataOut, 512)),
            (std::vector<uint8_t>{0x85, 0x0A, 0x06, 0, 0x00, 0, 0x11, 0, 0x22, 0, 0x33, 0, 0x44, 0xA0, 0x06, 0}));
  EXPECT_EQ(Bytes(BuildAtaPassThrough16(kStandby, AtaDataClass::kNoData, 0)),
            (std::vector<uint8_t>{0x85, 0x06, 0x00, 0, 0x00, 0, 0x11, 0, 0x22, 0, 0x33, 0, 0x44, 0xA0, 0xE0, 0}));
  EXPECT_EQ(BuildAtaPassThrough16(Command(0x2F), AtaDataClass::kDataIn, 512)[1], 0x09);
}

TEST(BuildDriveCmdArgs, readsSectorsForDataInAndCannotWrite) {
  std::array<uint8_t, 4> args{};
  ASSERT_TRUE(BuildDriveCmdArgs(IdentifyCommand(0), AtaDataClass::kDataIn, 512, args));
  EXPECT_EQ(Bytes(args), (std::vector<uint8_t>{0xEC, 0x00, 0x00, 0x01}));
  ASSERT_TRUE(BuildDriveCmdArgs(Command(0xB0, 0xD0), AtaDataClass::kDataIn, 512, args));
  EXPECT_EQ(Bytes(args), (std::vector<uint8_t>{0xB0, 0x01, 0xD0, 0x01}));  // SMART: sector number 1
  ASSERT_TRUE(BuildDriveCmdArgs(kStandby, AtaDataClass::kNoData, 0, args));
  EXPECT_EQ(Bytes(args), (std::vector<uint8_t>{0xE0, 0x11, 0x00, 0x00}));
  EXPECT_FALSE(BuildDriveCmdArgs(kDataSetManagement, AtaDataClass::kDataOut, 512, args));
  // The request reaches only the drive behind the node, never device 1.
  EXPECT_FALSE(BuildDriveCmdArgs(IdentifyCommand(1), AtaDataClass::kDataIn, 512, args));
}

TEST(CommandAllowList, onlyInquiryReadCapacityAndIdentifyEverReachTheKernel) {
  const uint8_t inquiry[12] = {0x12, 0, 0, 0, 36, 0};
  const uint8_t capacity[12] = {0x25};
  EXPECT_TRUE(ScsiCommandAllowed(inquiry, 6, DataDirection::kFromDevice));
  EXPECT_TRUE(ScsiCommandAllowed(capacity, 10, DataDirection::kFromDevice));
  for (const AtaCommand& c : {IdentifyCommand(0), Command(0xA1)}) {
    EXPECT_TRUE(ScsiCommandAllowed(BuildAtaPassThrough16(c, AtaDataClass::kDataIn, 512).data(), 16,
                                   DataDirection::kFromDevice));
    EXPECT_TRUE(ScsiCommandAllowed(BuildSatPassThrough12(c, AtaDataClass::kDataIn, 512).data(), 12,
                                   DataDirection::kFromDevice));
    EXPECT_TRUE(ScsiCommandAllowed(BuildBridgeDF(c, AtaDataClass::kDataIn, 512).data(), 12, DataDirection::kFromDevice));
    EXPECT_TRUE(ScsiCommandAllowed(BuildBridgeF8(c, AtaDataClass::kDataIn, 512).data(), 12, DataDirection::kFromDevice));
  }
  // WRITE(10), FORMAT UNIT, WRITE BUFFER, WRITE(6), SYNCHRONIZE CACHE, UNMAP.
  for (uint8_t op : {0x2A, 0x04, 0x3B, 0x0A, 0x35, 0x42}) {
    const uint8_t cdb[12] = {op};
    EXPECT_FALSE(ScsiCommandAllowed(cdb, ScsiCdbLength(op), DataDirection::kNone)) << int(op);
  }
  const AtaCommand smartWriteLog = Command(0xB0, 0xD6);
  EXPECT_FALSE(ScsiCommandAllowed(BuildAtaPassThrough16(smartWriteLog, AtaDataClass::kDataOut, 512).data(), 16,
                                  DataDirection::kToDevice));
  EXPECT_FALSE(ScsiCommandAllowed(BuildAtaPassThrough16(kDataSetManagement, AtaDataClass::kDataIn, 512).data(), 16,
                                  DataDirection::kFromDevice));
  EXPECT_FALSE(ScsiCommandAllowed(BuildSatPassThrough12(kStandby, AtaDataClass::kNoData, 0).data(), 12,
                                  DataDirection::kNone));
  EXPECT_FALSE(ScsiCommandAllowed(BuildBridgeDF(kIdentify, AtaDataClass::kDataOut, 512).data(), 12,
                                  DataDirection::kFromDevice));
  EXPECT_FALSE(ScsiCommandAllowed(BuildBridgeF8(kIdentify, AtaDataClass::kDataOut, 512).data(), 12,
                                  DataDirection::kFromDevice));
  // Identify sent with data going to the drive is no identify.
  EXPECT_FALSE(ScsiCommandAllowed(BuildAtaPassThrough16(kIdentify, AtaDataClass::kDataOut, 512).data(), 16,
                                  DataDirection::kFromDevice));
}

TEST(CommandAllowList, aRefusedCommandNeverReachesTheKernel) {
  const int fd = ::memfd_create("not-a-disk", MFD_CLOEXEC);
  uint8_t buffer[512] = {};
  bool unsupported = false;
  // INQUIRY reaches the kernel, which says a memfd knows no SG_IO.
  const uint8_t inquiry[12] = {0x12, 0, 0, 0, 36, 0};
  EXPECT_EQ(SendScsiCommand(fd, inquiry, buffer, 36, &unsupported), -1);
  EXPECT_TRUE(unsupported);
  const uint8_t write10[12] = {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0};
  errno = 0;
  EXPECT_EQ(SendScsiCommand(fd, write10, buffer, 512, &unsupported), -1);
  EXPECT_FALSE(unsupported);
  EXPECT_EQ(errno, EPERM);
  DeviceEntry entry{};
  entry.handle = fd;
  for (int32_t transport : {kTransportSmart, kTransportPassThrough, kTransportBridgeF8}) {
    entry.transport = transport;
    errno = 0;
    EXPECT_FALSE(SendAtaCommand(entry, kDataSetManagement, buffer, sizeof buffer));
    EXPECT_EQ(errno, EPERM);
  }
  ::close(fd);
}

TEST(TransportSkipBit, keepsBitThreeUnused) {
  EXPECT_EQ(TransportSkipBit(kTransportSmart), 1u);
  EXPECT_EQ(TransportSkipBit(kTransportPassThrough), 2u);
  EXPECT_EQ(TransportSkipBit(kTransportSat12), 4u);
  EXPECT_EQ(TransportSkipBit(kTransportBridgeDF), 16u);
  EXPECT_EQ(TransportSkipBit(kTransportBridgeF8), 32u);
  EXPECT_EQ(TransportSkipBit(4), 0u);
}

}  // namespace
}  // namespace lumicarve
