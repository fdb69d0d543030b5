#include "LookupTable.h"

#include <algorithm>
#include <cmath>

#include "SimError.h"
#include "format/FlashMap.h"
#include "format/PseudoRandomFill.h"

namespace camsim {

namespace fm = veltrion::flashmap;

namespace {

constexpr size_t kTables = 24;
constexpr size_t kTableEntries = 2048;
constexpr size_t kColumns = 64;  // each table samples a 64 x 32 grid of the image
constexpr int32_t kCentre = 0x0800;
constexpr int32_t kMaxEntry = 0x0FFF;
constexpr int32_t kNoiseSpread = 7;

}  // namespace

std::vector<uint16_t> makeLookupTable(const std::string& serial) {
    std::vector<uint8_t> random(kTables * kTableEntries + 4 * kTables);
    veltrion::fillPseudoRandom(random, veltrion::seedFromText("lut:" + serial));
    std::vector<uint16_t> entries;
    entries.reserve(kTables * kTableEntries);
    for (size_t table = 0; table < kTables; ++table) {
        // Each surface has its own tilt and bow, as each lens and mount does.
        const uint8_t* shape = &random[kTables * kTableEntries + 4 * table];
        const double tiltX = (shape[0] - 128) / 16.0;
        const double tiltY = (shape[1] - 128) / 16.0;
        const double bow = (shape[2] - 128) / 256.0;
        const int32_t offset = (shape[3] - 128) * 2;
        for (size_t i = 0; i < kTableEntries; ++i) {
            const double x = static_cast<double>(i % kColumns) - kColumns / 2.0;
            const double y = static_cast<double>(i / kColumns) - kTableEntries / kColumns / 2.0;
            const int32_t noise = random[table * kTableEntries + i] % (2 * kNoiseSpread + 1) - kNoiseSpread;
            const auto value = static_cast<int32_t>(std::lround(kCentre + offset + tiltX * x + tiltY * y +
                                                                bow * (x * x + y * y) / 8.0)) +
                               noise;
            entries.push_back(static_cast<uint16_t>(std::clamp(value, 0, kMaxEntry)));
        }
    }
    return entries;
}

std::vector<uint8_t> erasedLookupTableRegion() { return std::vector<uint8_t>(kLutRegionSize, fm::kErasedByte); }

std::vector<uint8_t> lookupTableRegion(const std::string& serial) {
    std::vector<uint8_t> region = erasedLookupTableRegion();
    size_t at = 0;
    for (const uint16_t entry : makeLookupTable(serial)) {
        region[at++] = static_cast<uint8_t>(entry);
        region[at++] = static_cast<uint8_t>(entry >> 8);
    }
    return region;
}

void writeLookupTable(std::span<uint8_t> flash, const std::string& serial) {
    if (flash.size() < fm::kLutAddress + kLutRegionSize) throw SimError("flash image too small for the lookup table");
    const std::vector<uint8_t> region = lookupTableRegion(serial);
    std::copy(region.begin(), region.end(), flash.begin() + fm::kLutAddress);
}

}  // namespace camsim
