#pragma once

// The version block the camera answers to the version query: four entries
// (FX3, FPGA, audio, ISP) of which each carries its version text from byte 6
// up to its first zero byte, and never past byte 20 of the entry.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "device/VendorRequests.h"

namespace veltrion {

constexpr size_t kVersionBlockEntries = vreq::kVersionBlockSize / vreq::kVersionEntrySize;

// The four version texts in block order; an entry the bytes do not hold
// whole gives the empty text.
std::array<std::string, kVersionBlockEntries> versionBlockTexts(std::span<const uint8_t> block);

}  // namespace veltrion
