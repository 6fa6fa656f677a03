// The stored text forms of settings that are not plain numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumicarve {

// 16 bytes as "%02X" pairs separated by single blanks: 47 characters.
std::string FormatMiscParameters(const uint8_t (&bytes)[16]);
// Byte i from the two characters at 3i and 3i+1, read as hexadecimal up to
// the first character that is not a hex digit. Pairs the text does not cover
// become 0; anything after the 16th pair is ignored.
void ParseMiscParameters(const std::string& text, uint8_t (&bytes)[16]);

// Copies `text` into a zero-terminated buffer of `size` bytes, cutting it to
// size - 1 characters when it is longer.
void CopyCut(const std::string& text, char* buffer, size_t size);

}  // namespace lumicarve
