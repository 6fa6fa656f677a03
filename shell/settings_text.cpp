#include "shell/settings_text.h"

#include <cstdio>
#include <cstring>

namespace lumicarve {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string FormatMiscParameters(const uint8_t (&bytes)[16]) {
  std::string text;
  char pair[4];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    if (i > 0) text += ' ';
    text += pair;
  }
  return text;
}

void ParseMiscParameters(const std::string& text, uint8_t (&bytes)[16]) {
  for (size_t i = 0; i < 16; ++i) {
    int value = 0;
    for (size_t k = 3 * i; k < 3 * i + 2 && k < text.size(); ++k) {
      int d = HexDigit(text[k]);
      if (d < 0) break;
      value = value * 16 + d;
    }
    bytes[i] = static_cast<uint8_t>(value);
  }
}

void CopyCut(const std::string& text, char* buffer, size_t size) {
  if (size == 0) return;
  size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace lumicarve
