#include "MonitorRecords.h"

#include "base/ByteLayout.h"

namespace veltrion {

namespace {

constexpr size_t kRoiStartAt = 1;
constexpr size_t kRoiEndAt = 3;
// Four arrays of 16 little-endian values each.
constexpr size_t kLeftAt = 5;
constexpr size_t kTopAt = 37;
constexpr size_t kRightAt = 69;
constexpr size_t kBottomAt = 101;
constexpr uint8_t kErasedByte = 0xFF;

}  // namespace

std::optional<RoiRecord> decodeRoiRecord(std::span<const uint8_t> bytes) {
    const ByteReader reader(bytes);
    if (!reader.has(0, kRoiRecordSize)) return std::nullopt;
    RoiRecord record;
    record.present = bytes[0] == kRecordPresent;
    record.startX = *reader.le16(kRoiStartAt);
    record.endX = *reader.le16(kRoiEndAt);
    return record;
}

std::vector<FaceRecord> decodeFaceBlock(std::span<const uint8_t> block) {
    std::vector<FaceRecord> faces;
    const ByteReader reader(block);
    if (!reader.has(0, kFaceBlockSize)) return faces;
    for (int slot = 0; slot < kFaceSlots; ++slot) {
        const size_t offset = 2 * static_cast<size_t>(slot);
        bool erased = false;
        for (size_t array : {kLeftAt, kTopAt, kRightAt, kBottomAt})
            erased = erased || block[array + offset] == kErasedByte || block[array + offset + 1] == kErasedByte;
        if (erased) continue;
        const FaceRecord face{*reader.le16(kLeftAt + offset), *reader.le16(kTopAt + offset),
                              *reader.le16(kRightAt + offset), *reader.le16(kBottomAt + offset),
                              static_cast<uint32_t>(slot)};
        if (face.left >= kFaceFrameWidth || face.right < face.left || face.right >= kFaceFrameWidth) continue;
        if (face.top >= kFaceFrameHeight || face.bottom < face.top || face.bottom >= kFaceFrameHeight) continue;
        faces.push_back(face);
    }
    return faces;
}

}  // namespace veltrion
