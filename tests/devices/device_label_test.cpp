// Capacity texts, model capitalisation and the device list's label.
#include <gtest/gtest.h>

#include <cstring>

#include "devices/device_describe.h"
#include "devices/device_list.h"
#include "devices/disk_query.h"

namespace lumicarve {
namespace {

std::string Capitalised(const char* model) {
  char text[32];
  std::snprintf(text, sizeof text, "%s", model);
  CapitaliseModel(text);
  return text;
}

DeviceEntry EntryWithModel(const char* model, uint64_t bytes) {
  DeviceEntry e{};
  std::snprintf(e.model, sizeof e.model, "%s", model);
  e.totalBytes = bytes;
  return e;
}

void AddVolume(DeviceEntry& e, const char* mountPoint) {
  VolumeEntry& v = e.volumes[e.volumeCount++];
  std::snprintf(v.mountPoint, sizeof v.mountPoint, "%s", mountPoint);
}

TEST(CapacityText, writesDecimalUnitsWithOneDecimalBelowTenAndKilobytesBelowOneMegabyte) {
  EXPECT_EQ(CapacityText(0), "0 bytes");
  EXPECT_EQ(CapacityText(999), "999 bytes");
  EXPECT_EQ(CapacityText(1000), "1.0 KB");
  EXPECT_EQ(CapacityText(2222500), "2.2 MB");
  EXPECT_EQ(CapacityText(9950000), "10 MB");
  EXPECT_EQ(CapacityText(999999), "1.0 MB");  // 999.999 KB rounds into the next unit
  EXPECT_EQ(CapacityText(314572800), "315 MB");
  EXPECT_EQ(CapacityText(31914983424ull), "32 GB");
  EXPECT_EQ(CapacityText(~0ull), "18 EB");
}

TEST(CapitaliseModel, lowersTheVendorWordOnlyWhenItIsLongerThanFourCharacters) {
  EXPECT_EQ(Capitalised("SAMSUNG HD103SJ"), "Samsung HD103SJ");
  EXPECT_EQ(Capitalised("WDC WD5000"), "WDC WD5000");
  EXPECT_EQ(Capitalised("ABC DEF"), "ABC DEF");  // first blank at position 3
  EXPECT_EQ(Capitalised("ABCD EFG"), "Abcd EFG");  // first blank at position 4
  EXPECT_EQ(Capitalised("MAXTOR6Y080"), "MAXTOR6Y080");  // no blank
  EXPECT_EQ(Capitalised("Generic SD Reader"), "Generic SD Reader");
  EXPECT_EQ(Capitalised(""), "");
}

TEST(ComposeDeviceLabel, namesEveryMountedVolumeThenTheModelAndCapacity) {
  DeviceEntry e = EntryWithModel("Generic SD Reader", 8000000000ull);
  AddVolume(e, "/media/ann/CARD");
  AddVolume(e, "");  // an unmounted partition takes a slot but adds nothing
  AddVolume(e, "/mnt/second");
  ComposeDeviceLabel(e);
  EXPECT_STREQ(e.label, "[/media/ann/CARD] [/mnt/second] Generic SD Reader [8.0 GB]");
}

TEST(ComposeDeviceLabel, dropsMountPointsRatherThanTheModelWhenTheLineIsFull) {
  DeviceEntry e = EntryWithModel("Generic SD Reader", 8000000000ull);
  const std::string longPath = "/media/" + std::string(200, 'x');
  AddVolume(e, longPath.c_str());
  AddVolume(e, longPath.c_str());
  ComposeDeviceLabel(e);
  const std::string label = e.label;
  EXPECT_EQ(label, "[" + longPath + "] Generic SD Reader [8.0 GB]");
  EXPECT_LT(label.size(), sizeof e.label);
}

TEST(DeniedDevicesText, countsTheDisksAndAdvisesOnlyAUserWhoIsNotRoot) {
  EXPECT_EQ(DeniedDevicesText(0, false), "");
  EXPECT_EQ(DeniedDevicesText(2, false),
            "2 disks could not be opened (permission denied): run lumicarve-cli with sudo to scan a physical disk.");
  EXPECT_EQ(DeniedDevicesText(1, true), "1 disk could not be opened (permission denied).");
}

TEST(KnownFeaturesText, listsOnlyTheFeaturesWhoseSupportIsKnown) {
  DeviceEntry e{};
  EXPECT_EQ(KnownFeaturesText(e), "");
  e.features[kFeatureSmart] = 1;
  e.features[kFeatureSecurity] = -1;
  e.sctDataTables = 1;
  EXPECT_EQ(KnownFeaturesText(e), "SMART yes, security no, SCT data tables yes");
}

}  // namespace
}  // namespace lumicarve
