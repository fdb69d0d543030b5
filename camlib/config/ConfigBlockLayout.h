#pragma once

// Where a camera keeps its per-unit data: the configuration block in flash
// sector 8, its main page and its second page, and the byte offsets of every
// field of the main page. All multi-byte fields are big-endian. Shared by the
// library and the simulated camera, so both read and write the same layout.

#include <cstddef>
#include <cstdint>

#include "format/FlashMap.h"

namespace veltrion::configblock {

// The block's 64 KiB sector; only two 256-byte pages of it are used.
constexpr uint32_t kSectorAddress = flashmap::kConfigBlockAddress;
constexpr uint32_t kSectorSize = flashmap::kSector64K;
constexpr uint32_t kMainPageAddress = kSectorAddress;
constexpr uint32_t kSecondPageAddress = 0x081000;
// The same addresses as the two 16-bit halves the flash requests take.
constexpr uint16_t kAddrHigh = static_cast<uint16_t>(kSectorAddress >> 16);
constexpr uint16_t kMainPageLow = static_cast<uint16_t>(kMainPageAddress & 0xFFFF);
constexpr uint16_t kSecondPageLow = static_cast<uint16_t>(kSecondPageAddress & 0xFFFF);

constexpr size_t kPageSize = flashmap::kPageSize;
// The manager's image of the block: the main page, then the second page.
constexpr size_t kImageSize = 2 * kPageSize;
constexpr size_t kSecondPageOffset = kPageSize;

// Main page fields.
constexpr size_t kFpgaLengthOffset = 0;       // u32
constexpr size_t kIspPhase1SizeOffset = 4;    // u16
constexpr size_t kIspSizeOffset = 6;          // u24
constexpr size_t kIspSizeBytes = 3;
constexpr size_t kSerialOffset = 9;           // ASCII, NUL-padded
constexpr size_t kSerialSize = 18;
constexpr size_t kCtgOffset = 27;             // five u16 alignment values
constexpr size_t kCtgCount = 5;
constexpr size_t kAudioCodeLengthOffset = 37; // u16
constexpr size_t kJpegLengthOffset = 39;      // eight u16
constexpr size_t kJpegCount = 8;
constexpr size_t kAudioChecksumOffset = 55;   // u16, doubles as the audio version
constexpr size_t kCalibrationOffset = 57;     // fifteen 32-bit words
constexpr size_t kCalibrationWordCount = 15;
constexpr size_t kCalibrationSize = kCalibrationWordCount * 4;
// Offsets 117..255 are not interpreted and are written back unchanged.
constexpr size_t kUninterpretedOffset = kCalibrationOffset + kCalibrationSize;

// Second page: the feature configuration table, nine entries of an
// availability byte and a big-endian 16-bit value.
constexpr size_t kFeatureEntrySize = 3;
constexpr size_t kFeatureEntryCount = 9;
constexpr size_t kFeatureTableSize = kFeatureEntrySize * kFeatureEntryCount;
// The printout shows this many bytes of the second page.
constexpr size_t kPrintedSecondPageBytes = 30;

static_assert(kUninterpretedOffset == 117);
static_assert(kUninterpretedOffset <= kPageSize);

}  // namespace veltrion::configblock
