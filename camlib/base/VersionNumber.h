#pragma once

#include <cstdint>
#include <string>

namespace veltrion {

// A version that was not read.
constexpr uint32_t kVersionNotRead = 0xFFFF;

enum class VersionParse { Empty, BadFormat, Ok };

// Reads "%c%u.%u.%u.%u" into the packed form: the character in bits 31..24
// (sign-extended from 8 bits), a in 23..22, b in 21..16, d and e unmasked in
// 15..8 and 7..0.
VersionParse parseVersionText(const std::string& text, uint32_t& packed);

// The text form of a packed version; 0xFFFF gives the empty text.
std::string formatVersion(uint32_t packed);

// The 16-bit checksum of component headers and flash comparisons, in the
// camera's exact form (blocks of 20 bytes, folded sums, no modulo 255).
uint16_t fletcher16(const uint8_t* data, size_t length);

}  // namespace veltrion
