#pragma once

// The FX3 boot image: the layout of the boot loader, FX3 firmware and backup
// FX3 firmware, as the controller's boot ROM loads it.
//
//   "CY", control byte, image-type byte
//   sections: {length in 32-bit words, load address, data}...
//   a zero-length section whose address field is the entry point
//   the 32-bit sum of all data words of all sections (little-endian words)
//
// The firmware's own version travels as the ASCII text "Version <text>",
// NUL-terminated, inside the first section.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltrion {

namespace fx3image {
constexpr uint8_t kSignature0 = 'C';
constexpr uint8_t kSignature1 = 'Y';
constexpr size_t kHeaderSize = 4;         // signature, control byte, image-type byte
constexpr size_t kSectionHeaderSize = 8;  // length in words, load address
constexpr size_t kChecksumSize = 4;
constexpr size_t kWordSize = 4;
// Control and image-type bytes written by the builder; readers only copy them.
constexpr uint8_t kDefaultControl = 0x1C;
constexpr uint8_t kDefaultImageType = 0xB0;
// Where generated firmware is loaded: the controller's system RAM.
constexpr uint32_t kDefaultLoadAddress = 0x40003000;
constexpr std::string_view kVersionMarker = "Version ";
// Offset of the version marker inside the first section of generated images.
constexpr size_t kVersionMarkerOffset = 16;
// Generated images are split into sections of about this size.
constexpr size_t kGeneratedSectionSize = 32 * 1024;
}  // namespace fx3image

// Result of checking a boot image; names the first check that failed.
enum class Fx3ImageCheck {
    Ok,
    Empty,         // no data at all
    TooShort,      // 4 bytes or fewer
    BadSignature,  // does not start with "CY"
    Unterminated,  // a section runs to or past the end before the zero-length section
    BadChecksum,   // the word after the entry point differs from the sum of the data words
};

const char* fx3ImageCheckName(Fx3ImageCheck check);

// One section as found inside an image: data at image[offset, offset + length).
struct Fx3Section {
    uint32_t loadAddress = 0;
    size_t offset = 0;
    size_t length = 0;
};

// What a walk over an image found. When check is Ok or BadChecksum, the
// sections, entry point, both checksums and the length are filled.
struct Fx3ImageLayout {
    Fx3ImageCheck check = Fx3ImageCheck::Empty;
    std::vector<Fx3Section> sections;
    uint32_t entryPoint = 0;
    uint32_t computedChecksum = 0;  // sum of the data words walked so far
    uint32_t storedChecksum = 0;    // the word after the entry point
    size_t length = 0;              // bytes up to and including the stored checksum
};

// Checks signature, section chain and checksum. Bytes after the stored
// checksum (e.g. the rest of an erased flash region) are ignored.
Fx3ImageLayout inspectFx3BootImage(std::span<const uint8_t> image);
Fx3ImageCheck validateFx3BootImage(std::span<const uint8_t> image);

// Walks the section chain without looking at the signature, as firmware does
// when it checks a region whose signature may not be written yet.
Fx3ImageLayout walkFx3Sections(std::span<const uint8_t> image);

// The text after "Version " in the first section, up to its NUL; nothing
// when the image cannot be walked or carries no marker.
std::optional<std::string> fx3ImageVersionText(std::span<const uint8_t> image);

// Section contents for the encoder.
struct Fx3SectionData {
    uint32_t loadAddress = 0;
    std::vector<uint8_t> data;  // a multiple of 4 bytes
};

// Lays out sections, entry point and checksum. Returns nothing when a
// section is not a whole number of words or is empty.
std::optional<std::vector<uint8_t>> encodeFx3BootImage(const std::vector<Fx3SectionData>& sections,
                                                        uint32_t entryPoint,
                                                        uint8_t control = fx3image::kDefaultControl,
                                                        uint8_t imageType = fx3image::kDefaultImageType);

// A generated firmware image of exactly imageSize bytes: the version marker
// in the first section and deterministic filler "code" everywhere else.
struct Fx3ImageRecipe {
    std::string versionText;
    size_t imageSize = 0;  // a multiple of 4
    uint64_t seed = 0;
    uint32_t loadAddress = fx3image::kDefaultLoadAddress;
};

// Nothing when the size is not a multiple of 4 or too small for the marker.
std::optional<std::vector<uint8_t>> buildFx3BootImage(const Fx3ImageRecipe& recipe);

}  // namespace veltrion
