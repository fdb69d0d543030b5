#pragma once

// The camera's built-in self-test block, the 18-byte answer to the self-test
// request: six entries of a little-endian 16-bit revision and an 8-bit status,
// in this order: FPGA, FX3, ISP 0, ISP 1, ISP 2, FPGA DDR. Status 0 means the
// unit passed. Shared by the library and the simulated camera.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltrion {

namespace selftest {
constexpr size_t kEntrySize = 3;
constexpr size_t kEntryCount = 6;
constexpr size_t kBlockSize = kEntrySize * kEntryCount;
constexpr size_t kRevisionOffset = 0;
constexpr size_t kStatusOffset = 2;
constexpr uint8_t kStatusPassed = 0x00;
enum Unit : size_t { kFpga = 0, kFx3 = 1, kIsp0 = 2, kIsp1 = 3, kIsp2 = 4, kFpgaDdr = 5 };

// The ISP information texts: one request per ISP, read in two 256-byte parts.
constexpr size_t kIspCount = 3;
constexpr uint16_t kIspInfoPartSize = 256;
constexpr size_t kIspInfoParts = 2;
}  // namespace selftest

struct SelfTestEntry {
    uint16_t revision = 0;
    uint8_t status = 0;

    bool operator==(const SelfTestEntry&) const = default;
};

using SelfTestBlock = std::array<SelfTestEntry, selftest::kEntryCount>;

// Nothing when fewer than 18 bytes are given.
std::optional<SelfTestBlock> decodeSelfTestBlock(std::span<const uint8_t> bytes);
std::vector<uint8_t> encodeSelfTestBlock(const SelfTestBlock& block);

// The status text of the report: a heading line, one line per revision and
// status, and an empty line; lines end with "\r\n".
std::string selfTestStatusText(const SelfTestBlock& block);

}  // namespace veltrion
