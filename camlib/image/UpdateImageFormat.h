#pragma once

// Byte layouts of the two update-image files. All numbers are little-endian;
// lengths and offsets are unsigned 32-bit byte counts.
//
// Single image ("VLTN", header version 3): a header of 76 + 12 n bytes, then
// the body: FPGA, FX3, audio, ISP, bootloader, backup FX3, JSON, auxiliary
// blob, n lookup-table blocks and n alignment blocks, without padding.
//
// Unified package ("VUNI", header version 2): a header of 24 + 12 m bytes,
// then the body: m complete single images, then one JSON file.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace veltrion {

namespace singleimage {
constexpr std::string_view kMagic = "VLTN";
constexpr uint16_t kHeaderVersion = 3;
constexpr uint16_t kCompressionNone = 0;

constexpr size_t kMagicOffset = 0;
constexpr size_t kHeaderVersionOffset = 4;
constexpr size_t kCompressionOffset = 6;
constexpr size_t kFx3VersionOffset = 8;
constexpr size_t kBackupFx3VersionOffset = 12;
constexpr size_t kBootloaderVersionOffset = 16;
constexpr size_t kHeaderLengthOffset = 20;
// The eight component lengths, one 32-bit word each, in body order.
constexpr size_t kLengthsOffset = 24;
constexpr size_t kMd5Offset = 56;
constexpr size_t kMd5Size = 16;
constexpr size_t kLutCountOffset = 72;
constexpr size_t kFixedHeaderSize = 76;
constexpr size_t kSerialSize = 12;

// Body order of the components and the slot of each length field.
enum Component : size_t {
    kFpga = 0,
    kFx3,
    kAudio,
    kIsp,
    kBootloader,
    kBackupFx3,
    kJson,
    kAuxBlob,
    kComponentCount,
};
constexpr size_t lengthOffset(size_t component) { return kLengthsOffset + 4 * component; }

constexpr size_t kLutBlockSize = 98304;  // 49152 16-bit entries
constexpr size_t kAlignmentValueCount = 5;
constexpr size_t kAlignmentBlockSize = kAlignmentValueCount * 2;
// What one camera with a lookup table adds to the body.
constexpr size_t kPerCameraSize = kLutBlockSize + kAlignmentBlockSize;

constexpr uint64_t headerSize(uint64_t lutCount) { return kFixedHeaderSize + kSerialSize * lutCount; }
}  // namespace singleimage

namespace unifiedimage {
constexpr std::string_view kMagic = "VUNI";
constexpr uint16_t kHeaderVersion = 2;
constexpr uint16_t kCompressionNone = 0;

constexpr size_t kMagicOffset = 0;
constexpr size_t kHeaderVersionOffset = 4;
constexpr size_t kCompressionOffset = 6;
constexpr size_t kHeaderLengthOffset = 8;
constexpr size_t kJsonOffsetOffset = 12;
constexpr size_t kJsonLengthOffset = 16;
constexpr size_t kImageCountOffset = 20;
constexpr size_t kFixedHeaderSize = 24;

// Image entry: vendor id, product id, offset in the body, length.
constexpr size_t kEntrySize = 12;
constexpr size_t kEntryVendorIdOffset = 0;
constexpr size_t kEntryProductIdOffset = 2;
constexpr size_t kEntryImageOffsetOffset = 4;
constexpr size_t kEntryImageLengthOffset = 8;

constexpr uint64_t headerSize(uint64_t imageCount) { return kFixedHeaderSize + kEntrySize * imageCount; }
}  // namespace unifiedimage

}  // namespace veltrion
