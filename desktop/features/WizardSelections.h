#pragma once

// The quick setup's memory of what the user chose at each step: the chosen
// bytes laid out as in the feature area, and for each step where in the
// area its value went. Only values that lie wholly inside the area are
// kept, so the final write never reaches past it.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace veltrion::desktop {

class WizardSelections {
public:
    // Larger feature areas than this are not believed: the area is one
    // flash sector's worth of small values.
    static constexpr uint32_t kMaxAreaLength = 64 * 1024;

    // Starts over for the feature area at base; false (and no area) when its
    // length is 0 or too large.
    bool setArea(uint32_t baseAddress, uint32_t dataLength);
    bool areaKnown() const { return !selection_.empty(); }
    uint32_t baseAddress() const { return base_; }
    uint32_t dataLength() const { return static_cast<uint32_t>(selection_.size()); }

    // Remembers the value of a step at its flash address; false when it does
    // not lie wholly inside the area.
    bool save(int step, uint32_t address, std::span<const uint8_t> value);
    // The value saved for a step, in stored order.
    std::optional<std::vector<uint8_t>> saved(int step) const;
    bool empty() const { return savedAt_.empty(); }

    // Copies every saved value over the area as read from the camera.
    // False when area is not the area's length.
    bool applyTo(std::vector<uint8_t>& area) const;

    void clear();

private:
    struct Place {
        uint32_t offset = 0;
        uint32_t length = 0;
    };
    uint32_t base_ = 0;
    std::vector<uint8_t> selection_;
    std::map<int, Place> savedAt_;
};

}  // namespace veltrion::desktop
