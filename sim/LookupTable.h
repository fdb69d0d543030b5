#pragma once

// The lens lookup table a production line measures for each camera: 24
// tables of 2048 16-bit entries (x and y offsets of the four quadrants, for
// each of the three imagers), stored little-endian at its flash region.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace camsim {

// The table of one unit, the same for every build of one serial number: smooth
// surfaces with per-unit tilt and noise, 12-bit entries, so the stored bytes
// never hold two 0xFF in a row (what an erased or torn table shows).
std::vector<uint16_t> makeLookupTable(const std::string& serial);

// The table's region (two 64 KiB sectors) as it lies in flash: the unit's
// table, the rest erased; all erased for a camera never calibrated.
constexpr uint32_t kLutRegionSize = 2 * 64 * 1024;
std::vector<uint8_t> lookupTableRegion(const std::string& serial);
std::vector<uint8_t> erasedLookupTableRegion();

// Writes the unit's region at its flash address.
void writeLookupTable(std::span<uint8_t> flash, const std::string& serial);

}  // namespace camsim
