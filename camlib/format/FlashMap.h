#pragma once

// Where a camera keeps its firmware in its 8 MiB SPI NOR flash, and the
// flash's page and sector geometry.

#include <cstddef>
#include <cstdint>

namespace veltrion::flashmap {

constexpr uint32_t kFlashSize = 8 * 1024 * 1024;
constexpr uint32_t kPageSize = 256;
constexpr uint32_t kSector4K = 4 * 1024;
constexpr uint32_t kSector32K = 32 * 1024;
constexpr uint32_t kSector64K = 64 * 1024;
constexpr uint8_t kErasedByte = 0xFF;

// FX3 boot images.
constexpr uint32_t kBootLoaderAddress = 0x000000;
constexpr uint32_t kBootLoaderRegionSize = 64 * 1024;
constexpr uint32_t kFx3Address = 0x010000;
constexpr uint32_t kFx3RegionSize = 448 * 1024;
constexpr uint32_t kBackupFx3Address = 0x790000;
constexpr uint32_t kBackupFx3RegionSize = 256 * 1024;

// Per-unit data.
constexpr uint32_t kConfigBlockAddress = 0x080000;
constexpr uint32_t kLutAddress = 0x090000;
constexpr uint32_t kLutSize = 98304;

// "VM" components: where the camera's firmware looks for their headers.
constexpr uint32_t kIspAddress = 0x0D0000;
constexpr uint32_t kAudioAddress = 0x0E0000;
// The audio component moves up one sector when the ISP component is longer than this.
constexpr uint32_t kAudioAddressAfterLongIsp = 0x0F0000;
constexpr uint32_t kIspLongThreshold = 0x10000;
constexpr uint32_t kFpgaAddress = 0x110000;
constexpr uint32_t kFpgaRegionSize = 6 * 1024 * 1024;

// Feature-layout JSON record ("FD", 4-byte length, text).
constexpr uint32_t kJsonAddress = 0x7E0000;

}  // namespace veltrion::flashmap
