#include "PseudoRandomFill.h"

namespace veltrion {

namespace {

uint64_t splitmix64(uint64_t& state) {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

void fillPseudoRandom(std::span<uint8_t> out, uint64_t seed) {
    uint64_t state = seed;
    size_t i = 0;
    while (i < out.size()) {
        uint64_t word = splitmix64(state);
        for (int b = 0; b < 8 && i < out.size(); ++b, ++i) {
            out[i] = static_cast<uint8_t>(word);
            word >>= 8;
        }
    }
}

uint64_t seedFromText(std::string_view text) {
    constexpr uint64_t kFnvOffset = 0xCBF29CE484222325ull;
    constexpr uint64_t kFnvPrime = 0x100000001B3ull;
    uint64_t hash = kFnvOffset;
    for (char c : text) {
        hash ^= static_cast<uint8_t>(c);
        hash *= kFnvPrime;
    }
    return hash;
}

}  // namespace veltrion
