#pragma once

// The records the camera's monitors read: the ROI record of automatic
// framing and the face block of one image signal processor.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace veltrion {

constexpr uint16_t kRoiRecordSize = 5;
constexpr uint16_t kFaceBlockSize = 133;
constexpr uint8_t kRecordPresent = 0xFF;  // byte 0 of an ROI record or a consistent face block
constexpr int kFaceSlots = 16;
constexpr uint16_t kFaceFrameWidth = 1600;
constexpr uint16_t kFaceFrameHeight = 1200;

struct RoiRecord {
    bool present = false;
    uint16_t startX = 0;
    uint16_t endX = 0;
    // Start X in bits 15..0, end X in bits 31..16, as the record carries them.
    uint32_t word() const { return static_cast<uint32_t>(startX) | static_cast<uint32_t>(endX) << 16; }
};

// A face one ISP reports, with the slot it came from.
struct FaceRecord {
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t right = 0;
    uint16_t bottom = 0;
    uint32_t slot = 0;

    bool operator==(const FaceRecord&) const = default;
};

// Empty when fewer than 5 bytes are given.
std::optional<RoiRecord> decodeRoiRecord(std::span<const uint8_t> bytes);

// The faces of a consistent block, in slot order. A slot counts only when none
// of its eight bytes is 0xFF and its box lies inside the frame with left <=
// right and top <= bottom. Empty when the block is short.
std::vector<FaceRecord> decodeFaceBlock(std::span<const uint8_t> block);

}  // namespace veltrion
