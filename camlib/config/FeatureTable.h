#pragma once

// The feature configuration table at the start of the configuration block's
// second page: nine entries of an availability byte and a big-endian 16-bit
// value, and their lines in the device health report. Pure: no device access.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "config/ConfigBlockLayout.h"

namespace veltrion {

class ReportText;

namespace featuretable {
constexpr uint8_t kAvailable = 1;
constexpr size_t kFieldOfViewEntry = 2;
constexpr std::array<const char*, configblock::kFeatureEntryCount> kNames = {
    "LED Blink", "Upsidedown", "Field of View", "Face Detection", "Blend Mode",
    "Genlock",   "Reset to Default", "Face API", "Lumo (HDR)"};
}  // namespace featuretable

struct FeatureTableEntry {
    uint8_t availability = 0;
    uint16_t value = 0;  // big-endian bytes 1..2 of the entry

    bool available() const { return availability == featuretable::kAvailable; }
    // Byte 2 of the entry: the switch of an on/off feature.
    bool enabled() const { return (value & 0xFF) != 0; }
};

using FeatureTable = std::array<FeatureTableEntry, configblock::kFeatureEntryCount>;

// Nothing when the page holds fewer than 27 bytes.
std::optional<FeatureTable> decodeFeatureTable(std::span<const uint8_t> secondPage);

// The text of a field-of-view code ("180 degrees" ...), or nullptr for an unknown code.
const char* fieldOfViewText(uint16_t code);

// One line per entry: the name right-aligned in 20 columns, then whether it
// is available and enabled (or the field of view).
void appendFeatureLines(ReportText& text, const FeatureTable& table);

}  // namespace veltrion
