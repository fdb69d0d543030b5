#include "config/FeatureTable.h"

#include "base/ByteLayout.h"
#include "format/ReportText.h"

namespace veltrion {

using namespace featuretable;

namespace {

constexpr std::array<const char*, 4> kFieldOfView = {"180 degrees", "140 degrees", "120 degrees", "90 degrees"};

}  // namespace

std::optional<FeatureTable> decodeFeatureTable(std::span<const uint8_t> secondPage) {
    const ByteReader reader(secondPage);
    if (!reader.has(0, configblock::kFeatureTableSize)) return std::nullopt;
    FeatureTable table;
    for (size_t i = 0; i < table.size(); ++i) {
        const size_t base = i * configblock::kFeatureEntrySize;
        table[i].availability = *reader.u8(base);
        table[i].value = *reader.be16(base + 1);
    }
    return table;
}

const char* fieldOfViewText(uint16_t code) { return code < kFieldOfView.size() ? kFieldOfView[code] : nullptr; }

void appendFeatureLines(ReportText& text, const FeatureTable& table) {
    for (size_t i = 0; i < table.size(); ++i) {
        const FeatureTableEntry& entry = table[i];
        text.appendf("%20s    ", kNames[i]);
        if (!entry.available()) {
            text.line("NOT available\tNOT Enabled");
        } else if (i == kFieldOfViewEntry) {
            const char* fov = fieldOfViewText(entry.value);
            text.appendf("available\t%s", fov ? fov : "");
            text.endLine();
        } else {
            text.appendf("available\t");
            text.line(entry.enabled() ? "enabled" : "NOT enabled");
        }
    }
}

}  // namespace veltrion
