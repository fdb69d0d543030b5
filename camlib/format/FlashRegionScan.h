#pragma once

// Checks of raw flash regions for the device health report: how much of an
// FX3 boot image region is used, its signature and version text, and the
// erased byte pairs of a lookup table.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace veltrion {

class ReportText;

namespace regionscan {
// The version text starts at "VER" in any case and holds at most this many bytes.
constexpr size_t kVersionTextMax = 31;
constexpr size_t kVersionMarkerLength = 3;
}  // namespace regionscan

// The region's length without its trailing erased (0xFF) bytes.
size_t usedLength(std::span<const uint8_t> region);

// True when the bytes start with the FX3 boot image signature "CY".
bool startsWithCy(std::span<const uint8_t> bytes);

// The version text of a boot image: from the first "VER" (any case) that
// lies wholly inside the bytes, at most 31 bytes and never past them, ending
// at the first zero byte. Nothing when no marker is found.
std::optional<std::string> bootImageVersionText(std::span<const uint8_t> used);

// One line per pair of adjacent 0xFF bytes of the table (pairs overlap), with
// the flash addresses of both bytes; the first line carries the heading and
// the error note. Returns the number of pairs.
size_t appendErasedPairLines(ReportText& text, std::span<const uint8_t> table, uint32_t baseAddress);

}  // namespace veltrion
