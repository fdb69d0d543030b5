#pragma once

// The feature-JSON record as it stands in flash: "FD", the text length
// (32-bit little-endian), the text.

#include <cstdint>
#include <span>
#include <vector>

#include "base/ByteLayout.h"
#include "flash/FlashLayout.h"

namespace veltrion::flash {

inline std::vector<uint8_t> jsonRecord(std::span<const uint8_t> text) {
    std::vector<uint8_t> record;
    record.reserve(kJsonHeaderSize + text.size());
    ByteWriter writer(record);
    writer.u8(kJsonTag0);
    writer.u8(kJsonTag1);
    writer.le32(static_cast<uint32_t>(text.size()));
    writer.bytes(text);
    return record;
}

}  // namespace veltrion::flash
