#include "devices/identify_data.h"

#include <cstdio>
#include <cstring>

#include "scan/byte_view.h"

namespace lumicarve {
namespace {

uint16_t Word(const ByteView& view, size_t index) {
  uint16_t w = 0;
  view.u16le(index * 2, w);
  return w;
}

// Characters of words [first, first + count): two per word, high byte first.
void WordText(const ByteView& view, size_t first, size_t count, char* out, size_t outSize) {
  char text[64] = {};
  for (size_t i = 0; i < count && 2 * i + 1 < sizeof text; ++i) {
    const uint16_t w = Word(view, first + i);
    text[2 * i] = static_cast<char>(w >> 8);
    text[2 * i + 1] = static_cast<char>(w & 0xFF);
  }
  CopyDeviceText(text, count * 2, out, outSize);
}

int32_t Flag(uint16_t word, int bit) { return (word >> bit & 1) ? 1 : -1; }

int HighestSetBit(uint16_t word) {
  int n = -1;
  for (int bit = 0; bit < 16; ++bit)
    if (word >> bit & 1) n = bit;
  return n;
}

void StandardText(uint16_t w80, uint16_t w76, char* out, size_t outSize) {
  char text[64] = {};
  if (w80 != 0 && w80 != 0xFFFF) {
    const int n = HighestSetBit(w80);
    if (n <= 7)
      std::snprintf(text, sizeof text, "ATA/ATAPI-%d", n);
    else if (n == 8)
      std::snprintf(text, sizeof text, "ATA%d-ACS", 8);
    else
      std::snprintf(text, sizeof text, "ACS-2");
  }
  const char* sata = (w76 >> 3 & 1) ? " - SATA III" : (w76 >> 2 & 1) ? " - SATA II" : (w76 >> 1 & 1) ? " - SATA I" : "";
  std::snprintf(out, outSize, "%s%s", text, sata);
}

void TransferModes(const ByteView& view, DeviceEntry& entry) {
  struct Candidate {
    size_t word;
    const char* format;
    int lastBit;  // the run of supported modes is cut after this bit
  };
  static constexpr Candidate kCandidates[] = {
      {88, "UDMA Mode %d", 6}, {63, "Multiword DMA Mode %d", 7}, {62, "DMA Mode %d", 7}, {64, "PIO Mode %d", 7}};
  for (const Candidate& c : kCandidates) {
    const uint16_t w = Word(view, c.word);
    if ((w & 0xFF) == 0) continue;
    int highest = 0;
    for (int bit = 1; bit <= c.lastBit && (w >> bit & 1); ++bit) highest = bit;
    int selected = 0;
    for (int bit = 8; bit < 16; ++bit)
      if (w >> bit & 1) selected = bit - 8;
    std::snprintf(entry.highestTransferMode, sizeof entry.highestTransferMode, c.format, highest);
    if (selected != 0)
      std::snprintf(entry.selectedTransferMode, sizeof entry.selectedTransferMode, c.format, selected);
    else
      entry.selectedTransferMode[0] = '\0';
    return;
  }
  entry.highestTransferMode[0] = '\0';
  entry.selectedTransferMode[0] = '\0';
}

}  // namespace

void CopyDeviceText(const char* text, size_t count, char* out, size_t outSize) {
  if (outSize == 0) return;
  size_t n = 0;
  for (size_t i = 0; i < count && n + 1 < outSize; ++i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    if (ch == 0) break;
    out[n++] = (ch >= 0x20 && ch < 0x7F) ? static_cast<char>(ch) : '?';
  }
  while (n > 0 && out[n - 1] == ' ') --n;
  out[n] = '\0';
}

void ParseIdentifyData(const uint8_t data[kIdentifyBytes], DeviceEntry& entry) {
  const ByteView view(data, kIdentifyBytes);
  WordText(view, 10, 10, entry.serialNumber, sizeof entry.serialNumber);
  WordText(view, 23, 4, entry.revision, sizeof entry.revision);
  entry.driveBufferBytes = static_cast<int32_t>(Word(view, 21)) * 512;

  const uint16_t w76 = Word(view, 76), w82 = Word(view, 82), w83 = Word(view, 83);
  int32_t* f = entry.features;
  f[kFeatureSmart] = Flag(w82, 0);
  f[kFeatureSecurity] = Flag(w82, 1);
  f[kFeaturePowerManagement] = Flag(w82, 3);
  f[kFeatureWriteCache] = Flag(w82, 5);
  f[kFeatureLookAhead] = Flag(w82, 6);
  f[kFeatureHpa] = Flag(w82, 10);
  f[kFeatureDownloadMicrocode] = Flag(w83, 0);
  f[kFeatureApm] = Flag(w83, 3);
  f[kFeaturePowerUpStandby] = Flag(w83, 5);
  f[kFeatureAam] = Flag(w83, 9);
  f[kFeature48Bit] = Flag(w83, 10);
  f[kFeatureDco] = Flag(w83, 11);
  f[kFeatureNcq] = Flag(w76, 8);
  f[kFeatureHipm] = Flag(w76, 9);
  entry.dataSetManagement = Flag(Word(view, 169), 0);
  entry.sctDataTables = Flag(Word(view, 206), 5);
  entry.rotationRate = Word(view, 217);
  entry.securityEraseTime = Word(view, 89);

  StandardText(Word(view, 80), w76, entry.standardText, sizeof entry.standardText);
  TransferModes(view, entry);
}

}  // namespace lumicarve
