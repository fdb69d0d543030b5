#include "base/VersionNumber.h"

#include <algorithm>
#include <cstdio>

namespace veltrion {

VersionParse parseVersionText(const std::string& text, uint32_t& packed) {
    if (text.empty()) return VersionParse::Empty;
    char c = 0;
    unsigned a = 0, b = 0, d = 0, e = 0;
    if (std::sscanf(text.c_str(), "%c%u.%u.%u.%u", &c, &a, &b, &d, &e) < 5) return VersionParse::BadFormat;
    const auto letter = static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    packed = (letter << 24) | ((a & 3u) << 22) | ((b & 0x3Fu) << 16) | (d << 8) | e;
    return VersionParse::Ok;
}

std::string formatVersion(uint32_t packed) {
    if (packed == kVersionNotRead) return "";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%c%u.%u.%u.%u", static_cast<char>(packed >> 24),
                  (packed >> 22) & 3u, (packed >> 16) & 0x3Fu, (packed >> 8) & 0xFFu, packed & 0xFFu);
    return buffer;
}

uint16_t fletcher16(const uint8_t* data, size_t length) {
    constexpr size_t kBlock = 20;
    uint16_t sum1 = 0xFF;
    uint16_t sum2 = 0xFF;
    while (length > 0) {
        const size_t block = std::min(length, kBlock);
        length -= block;
        for (size_t i = 0; i < block; ++i) {
            sum1 = static_cast<uint16_t>(sum1 + *data++);
            sum2 = static_cast<uint16_t>(sum2 + sum1);
        }
        sum1 = static_cast<uint16_t>((sum1 & 0xFF) + (sum1 >> 8));
        sum2 = static_cast<uint16_t>((sum2 & 0xFF) + (sum2 >> 8));
    }
    sum1 = static_cast<uint16_t>((sum1 & 0xFF) + (sum1 >> 8));
    sum2 = static_cast<uint16_t>((sum2 & 0xFF) + (sum2 >> 8));
    return static_cast<uint16_t>((sum2 << 8) | sum1);
}

}  // namespace veltrion
