#pragma once

// The "VM" component: FPGA, ISP and audio firmware carry a 256-byte header
// in front of their body, counted in the component's length.
//
//   0   2  "VM"
//   2   4  component length including the header
//   6   4  reserved
//   10  4  flash address at which the component is stored
//   14  2  fletcher16 of bytes 256 .. length - 1
//   16  6  tag characters
//   22 32  file name, zero-terminated, e.g. "fpga_F1.2.0.0.bin"
//   54     unused up to 256

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltrion {

namespace component {
constexpr uint8_t kSignature0 = 'V';
constexpr uint8_t kSignature1 = 'M';
constexpr size_t kHeaderSize = 256;
constexpr size_t kLengthOffset = 2;
constexpr size_t kReservedOffset = 6;
constexpr size_t kFlashAddressOffset = 10;
constexpr size_t kChecksumOffset = 14;
constexpr size_t kTagOffset = 16;
constexpr size_t kTagSize = 6;
constexpr size_t kFileNameOffset = 22;
constexpr size_t kFileNameSize = 32;
// The name field always ends with a zero byte, so a name has at most 31 characters.
constexpr size_t kFileNameMaxLength = kFileNameSize - 1;
}  // namespace component

struct ComponentHeader {
    uint32_t length = 0;
    uint32_t reserved = 0;
    uint32_t flashAddress = 0;
    uint16_t checksum = 0;
    std::string tag;       // the six tag characters
    std::string fileName;  // up to the first zero byte of the name field
};

enum class ComponentCheck {
    Ok,
    TooShort,      // fewer than 256 bytes
    BadSignature,  // not "VM"
    BadLength,     // length field below 256 or beyond the bytes given
    BadChecksum,   // header checksum differs from the body's fletcher16
};

const char* componentCheckName(ComponentCheck check);

// Reads the header fields; nothing when fewer than 256 bytes are given or the
// signature is not "VM". The length and checksum are not checked here.
std::optional<ComponentHeader> decodeComponentHeader(std::span<const uint8_t> bytes);

// Checks signature, length and checksum of a component that starts at the
// first byte of the span; the span may extend past the component's end.
ComponentCheck checkComponent(std::span<const uint8_t> bytes, ComponentHeader* header = nullptr);

// The version text of a component file name: between the last "_" and the
// last "." ("fpga_F1.2.0.0.bin" gives "F1.2.0.0"). Nothing when the name has
// 32 characters or more, lacks either character, or the "_" comes after the ".".
std::optional<std::string> versionTextFromFileName(const std::string& fileName);

// Writes the 256-byte header for the body and returns header + body; the
// length and checksum fields are computed from the body.
std::vector<uint8_t> encodeComponent(const ComponentHeader& header, std::span<const uint8_t> body);

// A generated component of totalLength bytes with a deterministic body.
struct ComponentRecipe {
    std::string fileName;
    uint32_t flashAddress = 0;
    size_t totalLength = 0;  // including the header, at least 256
    std::string tag;
    uint32_t reserved = 0;
    uint64_t seed = 0;
};

// Nothing when totalLength is below 256 or the name does not fit its field.
std::optional<std::vector<uint8_t>> buildComponent(const ComponentRecipe& recipe);

}  // namespace veltrion
