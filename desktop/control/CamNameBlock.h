#pragma once

// The custom camera name as the camera keeps it: a 32-byte name block in the
// second page of the configuration block, switched on by the page's
// camera-name feature bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class QString;

namespace veltrion::desktop::camname {

constexpr uint32_t kPageAddress = 0x81000;
constexpr size_t kPageSize = 256;
constexpr size_t kFeatureOffset = 30;    // bytes 30..31: the feature is present (01 00)
constexpr size_t kEnableOffset = 32;     // 1: the camera shows the custom name
constexpr size_t kBlockOffset = 128;
constexpr size_t kBlockSize = 32;
constexpr size_t kChecksumOffset = 31;   // within the block
constexpr size_t kMaxNameLength = 30;
constexpr uint16_t kFeatureId = 11;      // the camera-name feature of the feature query

using Page = std::array<uint8_t, kPageSize>;
using Block = std::array<uint8_t, kBlockSize>;

// The bytes of a name the camera can show: 1 to 30 printable ASCII
// characters (0x20..0x7E), so what is stored is exactly what was typed.
// Nothing otherwise, with why in refusal (the name with anything else shown
// as '?').
std::optional<std::string> nameBytes(const QString& text, std::string& refusal);

// Zero-filled block holding name (at most 30 bytes); the last byte is the
// 8-bit sum of the others.
Block makeBlock(const std::string& name);

// Marks the feature present, sets the enable byte and puts the block in.
void patchPage(Page& page, bool enable, const Block& block);

// From the 3 bytes of the camera-name feature: present and switched on.
bool enabledInFeature(const uint8_t feature[3]);

}  // namespace veltrion::desktop::camname
