#include "format/SelfTestBlock.h"

#include <cstdio>

#include "base/ByteLayout.h"

namespace veltrion {

using namespace selftest;

namespace {

// Labels in the block's order; the tabs line the values up in the report.
struct UnitLabels {
    const char* revision;
    const char* status;
};
constexpr std::array<UnitLabels, kEntryCount> kLabels = {{
    {"BISTInfo: fpga rev: \t\t", "BISTInfo: fpga status: \t\t"},
    {"BISTInfo: fx3 rev:\t\t", "BISTInfo: fx3 status: \t\t"},
    {"BISTInfo: isp0 rev:\t\t", "BISTInfo: isp0 status: \t\t"},
    {"BISTInfo: isp1 rev: \t\t", "BISTInfo: isp1 status: \t\t"},
    {"BISTInfo: isp2 rev: \t\t", "BISTInfo: isp2 status: \t\t"},
    {"BISTInfo: fpga DDR rev: \t", "BISTInfo: fpga DDR status: \t"},
}};

constexpr const char* kHeading = "BISTInfo: dumping general status ... (status = 00 means test successful)";
constexpr const char* kLineEnd = "\r\n";

}  // namespace

std::optional<SelfTestBlock> decodeSelfTestBlock(std::span<const uint8_t> bytes) {
    const ByteReader reader(bytes);
    if (!reader.has(0, kBlockSize)) return std::nullopt;
    SelfTestBlock block;
    for (size_t i = 0; i < kEntryCount; ++i) {
        block[i].revision = *reader.le16(i * kEntrySize + kRevisionOffset);
        block[i].status = *reader.u8(i * kEntrySize + kStatusOffset);
    }
    return block;
}

std::vector<uint8_t> encodeSelfTestBlock(const SelfTestBlock& block) {
    std::vector<uint8_t> out;
    ByteWriter writer(out);
    for (const SelfTestEntry& entry : block) {
        writer.le16(entry.revision);
        writer.u8(entry.status);
    }
    return out;
}

std::string selfTestStatusText(const SelfTestBlock& block) {
    std::string text = std::string(kHeading) + kLineEnd;
    char value[8];
    for (size_t i = 0; i < kEntryCount; ++i) {
        std::snprintf(value, sizeof value, "%04x", block[i].revision);
        text += std::string(kLabels[i].revision) + value + kLineEnd;
        std::snprintf(value, sizeof value, "%02x", block[i].status);
        text += std::string(kLabels[i].status) + value + kLineEnd;
    }
    return text + kLineEnd;
}

}  // namespace veltrion
