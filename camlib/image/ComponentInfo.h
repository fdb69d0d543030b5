#pragma once

// The manager's checks on single components: the "VM" component header, the
// version in a component file name, FX3 boot images, and where a "VM"
// component may be placed in flash. They log in the manager's words; the
// byte-level walks are those of format/.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace veltrion {

class Logger;

// What a "VM" component header holds.
struct ComponentHeaderInfo {
    uint32_t length = 0;  // component length including the header
    uint32_t reserved = 0;
    uint32_t flashAddress = 0;
    uint16_t checksum = 0;  // fletcher16 of the bytes after the header
    std::string tag;        // the six tag characters
    uint32_t version = 0;   // packed, from the file name in the header
};

namespace images {

// Reads a "VM" component header from the first 256 bytes of the span.
bool getHeaderInfoFromFlashFile(std::span<const uint8_t> component, ComponentHeaderInfo& info, Logger& logger);

// The text between the last "_" and the last "." of a file name shorter than
// 32 characters.
bool getVersionStrFromFilename(const std::string& fileName, std::string& version, Logger& logger);

// Converts a version text as the manager's getVersion does: an empty text
// fails quietly, a text that does not scan logs the invalid-format line. A
// number too large for its packed field is refused too: packed, it would
// read as another version.
bool convertVersionText(const std::string& text, uint32_t& version, Logger& logger);

// True when the numbers of a "%c%u.%u.%u.%u" text fit the packed fields
// (2, 6, 8 and 8 bits).
bool versionFitsPackedFields(const std::string& text);

// Checks signature, section chain and checksum of an FX3 boot image.
bool isValidFx3Data(const uint8_t* data, size_t length, Logger& logger);

// Why a feature-layout JSON text does not parse ("line 3 column 7: ..."), or
// nothing when it does.
std::optional<std::string> jsonSyntaxProblem(std::span<const uint8_t> text);

// The flash bytes a "VM" component occupies once written: the writers erase
// 96 sectors for the FPGA and length / 65536 + 1 sectors for audio and ISP.
enum class VmKind { Fpga, Audio, Isp };
uint64_t vmRegionSize(VmKind kind, uint64_t componentLength);

// The 64 KiB sectors a "VM" component's writer erases, [start, end): the
// writers erase whole sectors from the one holding the flash address.
struct ErasedSpan {
    uint64_t start = 0;
    uint64_t end = 0;
};
ErasedSpan vmErasedSpan(VmKind kind, uint32_t flashAddress, uint64_t componentLength);

// Why a "VM" component cannot be written where its header says, or nothing
// when it can: the component must lie inside the sectors its writer erases,
// and those must end inside the flash and stay clear of the fixed regions.
// An address inside a sector is fine as long as that holds.
std::optional<std::string> vmPlacementProblem(VmKind kind, uint32_t flashAddress, uint64_t componentLength);

}  // namespace images

}  // namespace veltrion
