// Decoding of the ROI record and of an ISP's face block, built byte by byte
// here as the camera sends them.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "base/ByteLayout.h"
#include "format/MonitorRecords.h"

namespace {

using veltrion::FaceRecord;

struct Box {
    uint16_t left, top, right, bottom;
};

// A consistent block with the given slots; the rest are 0xFF.
std::vector<uint8_t> block(const std::vector<std::pair<int, Box>>& slots) {
    std::vector<uint8_t> bytes;
    veltrion::ByteWriter writer(bytes);
    writer.u8(0xFF);
    writer.fill(0, 4);
    writer.fill(0xFF, 128);
    for (const auto& [slot, box] : slots) {
        const size_t at = 2 * static_cast<size_t>(slot);
        writer.patchLe16(5 + at, box.left);
        writer.patchLe16(37 + at, box.top);
        writer.patchLe16(69 + at, box.right);
        writer.patchLe16(101 + at, box.bottom);
    }
    return bytes;
}

TEST(MonitorRecords, RoiRecordGivesStartLowAndEndHigh) {
    const std::array<uint8_t, 5> present{0xFF, 0xF4, 0x01, 0x78, 0x05};  // 500 .. 1400
    const auto roi = veltrion::decodeRoiRecord(present);
    ASSERT_TRUE(roi);
    EXPECT_TRUE(roi->present);
    EXPECT_EQ(roi->word(), 500u | 1400u << 16);
    const std::array<uint8_t, 5> absent{0xFE, 1, 2, 3, 4};
    EXPECT_FALSE(veltrion::decodeRoiRecord(absent)->present);
    EXPECT_FALSE(veltrion::decodeRoiRecord(std::span(present).first(4)));
}

TEST(MonitorRecords, FaceSlotsOutsideTheFrameOrReversedAreDropped) {
    const auto faces = veltrion::decodeFaceBlock(block({
        {0, {100, 50, 300, 250}},    // kept
        {1, {100, 50, 90, 250}},     // right < left
        {2, {100, 50, 1600, 250}},   // right at the frame's width
        {3, {100, 250, 300, 50}},    // bottom < top
        {4, {100, 1200, 300, 1200}}, // top at the frame's height
        {5, {255, 50, 300, 250}},    // left 0x00FF: one byte 0xFF marks the slot empty
        {7, {0, 0, 1599, 1199}},     // the whole frame: kept
        {15, {10, 10, 10, 10}},      // last slot, a point: kept
    }));
    // Slot 6 and 8..14 are all 0xFF: empty.
    const std::vector<FaceRecord> expected{
        {100, 50, 300, 250, 0}, {0, 0, 1599, 1199, 7}, {10, 10, 10, 10, 15}};
    EXPECT_EQ(faces, expected);
}

TEST(MonitorRecords, ShortOrEmptyBlocksGiveNoFaces) {
    EXPECT_TRUE(veltrion::decodeFaceBlock(block({})).empty());
    auto cut = block({{0, {1, 2, 3, 4}}});
    cut.pop_back();
    EXPECT_TRUE(veltrion::decodeFaceBlock(cut).empty());
}

}  // namespace
