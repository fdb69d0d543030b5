#include "features/WizardSelections.h"

#include <algorithm>

namespace veltrion::desktop {

bool WizardSelections::setArea(uint32_t baseAddress, uint32_t dataLength) {
    clear();
    if (dataLength == 0 || dataLength > kMaxAreaLength) return false;
    base_ = baseAddress;
    selection_.assign(dataLength, 0);
    return true;
}

bool WizardSelections::save(int step, uint32_t address, std::span<const uint8_t> value) {
    // 64-bit sums: an address near the top of the range must not wrap inside.
    const uint64_t begin = address;
    const uint64_t end = begin + value.size();
    if (!areaKnown() || value.empty() || begin < base_ || end > uint64_t{base_} + selection_.size()) return false;
    const auto offset = static_cast<uint32_t>(begin - base_);
    std::copy(value.begin(), value.end(), selection_.begin() + offset);
    savedAt_[step] = {offset, static_cast<uint32_t>(value.size())};
    return true;
}

std::optional<std::vector<uint8_t>> WizardSelections::saved(int step) const {
    const auto found = savedAt_.find(step);
    if (found == savedAt_.end()) return std::nullopt;
    const auto first = selection_.begin() + found->second.offset;
    return std::vector<uint8_t>(first, first + found->second.length);
}

bool WizardSelections::applyTo(std::vector<uint8_t>& area) const {
    if (area.size() != selection_.size()) return false;
    for (const auto& [step, place] : savedAt_) {
        const auto first = selection_.begin() + place.offset;
        std::copy(first, first + place.length, area.begin() + place.offset);
    }
    return true;
}

void WizardSelections::clear() {
    base_ = 0;
    selection_.clear();
    savedAt_.clear();
}

}  // namespace veltrion::desktop
