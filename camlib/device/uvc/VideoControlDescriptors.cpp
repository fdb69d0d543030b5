#include "VideoControlDescriptors.h"

#include <algorithm>

#include "base/ByteLayout.h"

namespace veltrion {

namespace {

constexpr uint8_t kTypeInterface = 0x04;
constexpr uint8_t kTypeClassInterface = 0x24;
constexpr uint8_t kClassVideo = 0x0E;
constexpr uint8_t kSubclassVideoControl = 0x01;
constexpr uint8_t kSubtypeExtensionUnit = 0x06;
constexpr size_t kMinDescriptorLength = 2;

// Extension unit: bLength, type, subtype, bUnitID, guidExtensionCode[16],
// bNumControls, bNrInPins, baSourceID[p], bControlSize, bmControls[n], ...
constexpr size_t kUnitIdAt = 3;
constexpr size_t kGuidAt = 4;
constexpr size_t kInPinsAt = 21;
constexpr size_t kSourcesAt = 22;

// Standard interface descriptor fields.
constexpr size_t kInterfaceClassAt = 5;
constexpr size_t kInterfaceSubclassAt = 6;

std::optional<ExtensionUnitDescriptor> parseExtensionUnit(std::span<const uint8_t> unit, const UnitGuid& guid) {
    const ByteReader reader(unit);
    auto code = reader.bytes(kGuidAt, guid.size());
    if (!code || !std::equal(code->begin(), code->end(), guid.begin())) return std::nullopt;
    auto pins = reader.u8(kInPinsAt);
    if (!pins) return std::nullopt;
    const size_t controlSizeAt = kSourcesAt + *pins;
    auto controlSize = reader.u8(controlSizeAt);
    if (!controlSize) return std::nullopt;
    auto controls = reader.bytes(controlSizeAt + 1, *controlSize);
    if (!controls) return std::nullopt;
    return ExtensionUnitDescriptor{*reader.u8(kUnitIdAt), *controls};
}

}  // namespace

bool ExtensionUnitDescriptor::hasSelector(uint8_t selector) const {
    if (selector == 0) return false;
    const size_t bit = selector - 1u;
    return bit / 8 < controls.size() && (controls[bit / 8] >> (bit % 8)) & 1u;
}

std::optional<ExtensionUnitDescriptor> findExtensionUnitDescriptor(std::span<const uint8_t> descriptors,
                                                                   const UnitGuid& guid) {
    // Class-specific descriptors count when no interface descriptor came
    // before them (a bare VideoControl block) or the last one was VideoControl.
    bool inVideoControl = true;
    size_t offset = 0;
    while (descriptors.size() - offset >= kMinDescriptorLength) {
        const size_t length = descriptors[offset];
        if (length < kMinDescriptorLength || length > descriptors.size() - offset) break;
        const auto descriptor = descriptors.subspan(offset, length);
        const uint8_t type = descriptor[1];
        if (type == kTypeInterface) {
            const ByteReader reader(descriptor);
            inVideoControl = reader.u8(kInterfaceClassAt) == kClassVideo &&
                             reader.u8(kInterfaceSubclassAt) == kSubclassVideoControl;
        } else if (type == kTypeClassInterface && inVideoControl && length > 2 &&
                   descriptor[2] == kSubtypeExtensionUnit) {
            if (auto unit = parseExtensionUnit(descriptor, guid)) return unit;
        }
        offset += length;
    }
    return std::nullopt;
}

}  // namespace veltrion
