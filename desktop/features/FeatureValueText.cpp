#include "features/FeatureValueText.h"

#include <algorithm>
#include <cstdio>

namespace veltrion::desktop {

namespace {

// Choosing face detection on this address makes the camera ignore its PTZ
// presets, which the user should know before applying it.
constexpr uint32_t kPresetConflictAddress = 0x8100A;
constexpr const char* kPresetConflictValue = "0x0001";
constexpr const char* kPresetConflictNote = "Note: PTZ preset configuration will be ignored";

}  // namespace

std::string valueText(std::span<const uint8_t> bytes) {
    std::string text = "0x";
    for (const uint8_t byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

std::optional<std::string> currentValueText(std::span<const uint8_t> reply, int offsetInFeature, int length) {
    if (offsetInFeature < 0 || length < 1 ||
        static_cast<size_t>(offsetInFeature) + static_cast<size_t>(length) > reply.size())
        return std::nullopt;
    std::vector<uint8_t> mostSignificantFirst(reply.begin() + offsetInFeature,
                                              reply.begin() + offsetInFeature + length);
    std::reverse(mostSignificantFirst.begin(), mostSignificantFirst.end());
    return valueText(mostSignificantFirst);
}

void sortChoicesByLabel(std::vector<FeatureChoice>& choices) {
    // std::string compares as unsigned bytes, which is the order wanted.
    std::stable_sort(choices.begin(), choices.end(),
                     [](const FeatureChoice& a, const FeatureChoice& b) { return a.label < b.label; });
}

std::string choiceNote(const FeatureChoice& choice) {
    if (choice.address == kPresetConflictAddress && choice.value == kPresetConflictValue) return kPresetConflictNote;
    return {};
}

}  // namespace veltrion::desktop
