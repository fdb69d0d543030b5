#pragma once

// Deterministic filler bytes for generated firmware: the same seed always
// gives the same bytes, so a component built twice for one version is
// byte-for-byte identical, as two copies of one firmware file are.

#include <cstdint>
#include <span>
#include <string_view>

namespace veltrion {

// Fills the span from a splitmix64 stream started at the seed.
void fillPseudoRandom(std::span<uint8_t> out, uint64_t seed);

// A seed derived from a text (FNV-1a, 64 bit), e.g. component kind + version.
uint64_t seedFromText(std::string_view text);

}  // namespace veltrion
