#pragma once

// The parsed forms of the two update-image files and their parsers. Every
// component is a copy owned by its record; a parse that fails leaves the
// record empty.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/UpdateImageFormat.h"

namespace veltrion {

class Logger;

using AlignmentValues = std::array<uint16_t, singleimage::kAlignmentValueCount>;

// An FPGA, audio or ISP component with what its "VM" header says.
struct VmComponent {
    std::vector<uint8_t> data;  // the whole component, its 256-byte header included
    uint32_t version = 0;       // packed, from the file name in the header
    uint32_t flashAddress = 0;  // where the component lives in flash

    size_t length() const { return data.size(); }
};

// A parsed single image ("VLTN").
struct UpdatePackage {
    VmComponent fpga;
    VmComponent audio;
    VmComponent isp;
    std::vector<uint8_t> fx3;
    std::vector<uint8_t> bootloader;
    std::vector<uint8_t> backupFx3;
    std::vector<uint8_t> json;
    std::vector<uint8_t> auxBlob;  // may be empty

    uint32_t fx3Version = 0;
    uint32_t backupFx3Version = 0;
    uint32_t bootloaderVersion = 0;

    // Per camera, in header order: serial number i owns lookup table i and
    // alignment record i.
    std::vector<std::string> serialNumbers;
    std::vector<uint8_t> lutData;  // serialNumbers.size() x 98304 bytes
    std::vector<AlignmentValues> alignmentData;

    // The 98304-byte lookup table of camera i (i below serialNumbers.size()).
    std::span<const uint8_t> lookupTable(size_t i) const {
        return std::span<const uint8_t>(lutData).subspan(i * singleimage::kLutBlockSize,
                                                         singleimage::kLutBlockSize);
    }
    // Frees every copy and empties the lists.
    void release() { *this = UpdatePackage{}; }
};

// A parsed unified package ("VUNI"): the body and where each image lies in it.
// The parser has checked that every entry and the JSON lie inside the body.
struct UnifiedPackage {
    std::vector<uint8_t> body;
    std::vector<uint16_t> vendorIds;
    std::vector<uint16_t> productIds;
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> lengths;
    uint32_t jsonOffset = 0;
    uint32_t jsonLength = 0;

    size_t imageCount() const { return offsets.size(); }
    std::span<const uint8_t> image(size_t i) const {
        return std::span<const uint8_t>(body).subspan(offsets[i], lengths[i]);
    }
    std::span<const uint8_t> jsonFile() const {
        return std::span<const uint8_t>(body).subspan(jsonOffset, jsonLength);
    }
    void release() { *this = UnifiedPackage{}; }
};

namespace images {

// Reads and checks a single image; one log line names the first check that
// failed. On failure the package is left released.
bool parseUpdatePackage(std::span<const uint8_t> file, UpdatePackage& package, Logger& logger);

// Reads and checks a unified package; the single images inside are checked
// only when one is chosen.
bool parseUpdatePackage(std::span<const uint8_t> file, UnifiedPackage& package, Logger& logger);

}  // namespace images

}  // namespace veltrion
