// Turning the 512-byte IDENTIFY DEVICE answer into a drive's description.
#include <gtest/gtest.h>

#include <cstring>

#include "devices/identify_data.h"

namespace lumicarve {
namespace {

struct Identify {
  uint8_t bytes[kIdentifyBytes] = {};
  Identify& Set(int word, uint16_t value) {
    bytes[2 * word] = static_cast<uint8_t>(value & 0xFF);
    bytes[2 * word + 1] = static_cast<uint8_t>(value >> 8);
    return *this;
  }
  // Two characters per word, the first in the high byte.
  Identify& Text(int firstWord, const char* text, int words) {
    for (int i = 0; i < words; ++i) {
      const size_t n = std::strlen(text);
      const uint8_t hi = 2 * i < int(n) ? uint8_t(text[2 * i]) : ' ';
      const uint8_t lo = 2 * i + 1 < int(n) ? uint8_t(text[2 * i + 1]) : ' ';
      Set(firstWord + i, static_cast<uint16_t>(hi << 8 | lo));
    }
    return *this;
  }
  DeviceEntry Parse() const {
    DeviceEntry e{};
    std::snprintf(e.model, sizeof e.model, "Samsung HD103SJ");
    std::snprintf(e.revision, sizeof e.revision, "1AJ1");
    ParseIdentifyData(bytes, e);
    return e;
  }
};

TEST(ParseIdentifyData, readsSerialAndFirmwareHighByteFirstWithoutTrailingBlanks) {
  const DeviceEntry e = Identify().Text(10, "  S246J9GZ123456", 10).Text(23, "1AJ10001", 4).Set(21, 0x4000).Parse();
  EXPECT_STREQ(e.serialNumber, "  S246J9GZ123456");
  EXPECT_STREQ(e.revision, "1AJ10001");  // replaces the revision of the disk query
  EXPECT_STREQ(e.model, "Samsung HD103SJ");  // the model is never taken from IDENTIFY
  EXPECT_EQ(e.driveBufferBytes, 0x4000 * 512);
}

TEST(ParseIdentifyData, replacesUnprintableBytesOfTheSerial) {
  const DeviceEntry e = Identify().Set(10, 0x4101).Set(11, 0x1B42).Parse();
  EXPECT_STREQ(e.serialNumber, "A??B");
}

TEST(ParseIdentifyData, setsEveryFeatureFlagToSupportedOrNotSupported) {
  const DeviceEntry none = Identify().Parse();
  for (int f = 0; f < kFeatureCount; ++f) EXPECT_EQ(none.features[f], -1) << f;
  EXPECT_EQ(none.dataSetManagement, -1);
  EXPECT_EQ(none.sctDataTables, -1);

  const DeviceEntry e = Identify()
                            .Set(82, 1 << 0 | 1 << 1 | 1 << 3 | 1 << 5 | 1 << 6 | 1 << 10)
                            .Set(83, 1 << 0 | 1 << 3 | 1 << 5 | 1 << 9 | 1 << 10 | 1 << 11)
                            .Set(76, 1 << 8 | 1 << 9)
                            .Set(169, 1)
                            .Set(206, 1 << 5)
                            .Set(217, 7200)
                            .Set(89, 150)
                            .Parse();
  for (int f = 0; f < kFeatureCount; ++f) EXPECT_EQ(e.features[f], 1) << f;
  EXPECT_EQ(e.dataSetManagement, 1);
  EXPECT_EQ(e.sctDataTables, 1);
  EXPECT_EQ(e.rotationRate, 7200);
  EXPECT_EQ(e.securityEraseTime, 150);

  // Each flag reads its own bit.
  const DeviceEntry smartOnly = Identify().Set(82, 1).Parse();
  EXPECT_EQ(smartOnly.features[kFeatureSmart], 1);
  EXPECT_EQ(smartOnly.features[kFeatureSecurity], -1);
  const DeviceEntry lba48Only = Identify().Set(83, 1 << 10).Parse();
  EXPECT_EQ(lba48Only.features[kFeature48Bit], 1);
  EXPECT_EQ(lba48Only.features[kFeatureAam], -1);
  EXPECT_EQ(lba48Only.features[kFeatureDco], -1);
}

TEST(ParseIdentifyData, namesTheStandardByTheHighestVersionBit) {
  EXPECT_STREQ(Identify().Set(80, 0x00FE).Parse().standardText, "ATA/ATAPI-7");
  EXPECT_STREQ(Identify().Set(80, 0x01F0).Parse().standardText, "ATA8-ACS");
  EXPECT_STREQ(Identify().Set(80, 0x0200).Parse().standardText, "ACS-2");
  EXPECT_STREQ(Identify().Set(80, 0x0FF0).Parse().standardText, "ACS-2");
  EXPECT_STREQ(Identify().Set(80, 0x00FE).Set(76, 1 << 2).Parse().standardText, "ATA/ATAPI-7 - SATA II");
}

TEST(ParseIdentifyData, givesTheSataGenerationAloneWhenNoVersionIsReported) {
  EXPECT_STREQ(Identify().Set(80, 0x0000).Set(76, 1 << 2).Parse().standardText, " - SATA II");
  EXPECT_STREQ(Identify().Set(80, 0xFFFF).Set(76, 1 << 2).Parse().standardText, " - SATA II");
  EXPECT_STREQ(Identify().Set(76, 1 << 1 | 1 << 2 | 1 << 3).Parse().standardText, " - SATA III");
  EXPECT_STREQ(Identify().Set(76, 1 << 1).Parse().standardText, " - SATA I");
  EXPECT_STREQ(Identify().Parse().standardText, "");
}

TEST(ParseIdentifyData, readsUltraDmaModesFromTheSupportRunAndTheSelectedBit) {
  DeviceEntry e = Identify().Set(88, 0x007F).Parse();
  EXPECT_STREQ(e.highestTransferMode, "UDMA Mode 6");
  EXPECT_STREQ(e.selectedTransferMode, "");
  e = Identify().Set(88, 0x203F).Parse();
  EXPECT_STREQ(e.highestTransferMode, "UDMA Mode 5");
  EXPECT_STREQ(e.selectedTransferMode, "UDMA Mode 5");
  e = Identify().Set(88, 0x0101).Parse();
  EXPECT_STREQ(e.highestTransferMode, "UDMA Mode 0");
  EXPECT_STREQ(e.selectedTransferMode, "");  // mode 0 is never written as selected
  e = Identify().Set(88, 0x00FF).Parse();
  EXPECT_STREQ(e.highestTransferMode, "UDMA Mode 6");  // the run stops at bit 6
}

TEST(ParseIdentifyData, fallsBackToMultiwordDmaAndThenToPio) {
  DeviceEntry e = Identify().Set(88, 0x7F00).Set(63, 0x0407).Set(64, 0x0003).Parse();
  EXPECT_STREQ(e.highestTransferMode, "Multiword DMA Mode 2");
  EXPECT_STREQ(e.selectedTransferMode, "Multiword DMA Mode 2");
  e = Identify().Set(88, 0x0100).Set(63, 0x0200).Set(62, 0x0100).Set(64, 0x0003).Parse();
  EXPECT_STREQ(e.highestTransferMode, "PIO Mode 1");
  EXPECT_STREQ(e.selectedTransferMode, "");
  e = Identify().Set(64, 0x0000).Parse();
  EXPECT_STREQ(e.highestTransferMode, "");
  EXPECT_STREQ(e.selectedTransferMode, "");
}

}  // namespace
}  // namespace lumicarve
