#pragma once

// The serial numbers of a recording and their replacements: each serial
// always becomes the same text of the same length ("MASK00000001" for the
// first 12-character one), so lengths and layouts stay as they were and two
// cameras stay two cameras.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace camsim {

class SerialMap {
public:
    // Serials shorter than this are replaced only where a serial is known to
    // stand; longer ones wherever their text appears. A short text may stand
    // by chance in an image's data, which the program sends unchanged.
    static constexpr size_t kMinSearchedLength = 8;

    // Adds a serial (in the order first seen); empty ones are ignored.
    void learn(const std::string& serial);
    // Gives each learnt serial its replacement; call once, after learning.
    void assignReplacements();

    std::optional<std::string> replacementOf(const std::string& serial) const;
    // Every occurrence of a serial replaced, and a path's serial tail.
    std::string maskText(const std::string& text) const;
    // Every occurrence, as ASCII and as UTF-16LE, replaced in place.
    void maskBytes(std::span<uint8_t> bytes) const;

    size_t size() const { return order_.size(); }

private:
    std::vector<std::string> order_;
    std::map<std::string, std::string> replacements_;
    std::vector<std::string> searched_;  // longest first
};

}  // namespace camsim
