#pragma once

// The parsed configuration block, its text form, and the patches the two
// rewrites apply to the main page. Pure: no device access.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/CalibrationParams.h"
#include "config/ConfigBlockLayout.h"

namespace veltrion {

struct CamConfigBlock {
    uint32_t fpgaLength = 0;
    uint16_t ispPhase1Size = 0;
    uint32_t ispSize = 0;  // the 24-bit field
    std::string serialNumber;
    std::array<uint16_t, configblock::kCtgCount> ctg{};  // top 0, 1, 2, right 0, 1
    uint16_t audioCodeLength = 0;
    std::array<uint16_t, configblock::kJpegCount> jpegLength{};
    uint16_t audioChecksum = 0;
    CalibrationParams calibration;
};

namespace configblock {

// Parses a main page (at least 256 bytes); false when it is shorter.
bool parseMainPage(std::span<const uint8_t> mainPage, CamConfigBlock& block);

// Reads the fifteen big-endian calibration words (60 bytes).
std::optional<CalibrationParams> parseCalibration(std::span<const uint8_t> bytes);
// True when every byte is 0xFF: parameters were never written.
bool isErased(std::span<const uint8_t> bytes);

// One line per field, each ended by "\r\n".
std::string toText(const CamConfigBlock& block);

// Store the low 16 bits of each alignment value, and the calibration words,
// into a block image that starts with the main page; false when it is shorter
// than a page.
bool patchCtgValues(std::vector<uint8_t>& image, const std::array<int, kCtgCount>& values);
bool patchCalibration(std::vector<uint8_t>& image, const CalibrationParams& params);

}  // namespace configblock

}  // namespace veltrion
