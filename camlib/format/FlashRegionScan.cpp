#include "format/FlashRegionScan.h"

#include <algorithm>
#include <cctype>

#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"
#include "format/ReportText.h"

namespace veltrion {

using namespace regionscan;

size_t usedLength(std::span<const uint8_t> region) {
    const auto last = std::find_if(region.rbegin(), region.rend(), [](uint8_t b) { return b != flashmap::kErasedByte; });
    return static_cast<size_t>(region.rend() - last);
}

bool startsWithCy(std::span<const uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == fx3image::kSignature0 && bytes[1] == fx3image::kSignature1;
}

std::optional<std::string> bootImageVersionText(std::span<const uint8_t> used) {
    if (used.size() < kVersionMarkerLength) return std::nullopt;
    const auto is = [&](size_t i, char letter) { return std::toupper(used[i]) == letter; };
    for (size_t i = 0; i + kVersionMarkerLength <= used.size(); ++i) {
        if (!is(i, 'V') || !is(i + 1, 'E') || !is(i + 2, 'R')) continue;
        const size_t end = i + std::min(kVersionTextMax, used.size() - i);
        std::string text;
        for (size_t k = i; k < end && used[k] != 0; ++k) text += static_cast<char>(used[k]);
        return text;
    }
    return std::nullopt;
}

size_t appendErasedPairLines(ReportText& text, std::span<const uint8_t> table, uint32_t baseAddress) {
    size_t pairs = 0;
    for (size_t k = 0; k + 1 < table.size(); ++k) {
        if (table[k] != flashmap::kErasedByte || table[k + 1] != flashmap::kErasedByte) continue;
        const auto first = static_cast<unsigned>(baseAddress + k);
        if (pairs++ == 0)
            text.linef("0xFF Found in LUT at:\t0x0%x  0x0%x  **ERROR** 0xFF found in LUT", first, first + 1);
        else
            text.linef("\t\t\t0x0%x  0x0%x", first, first + 1);
    }
    return pairs;
}

}  // namespace veltrion
