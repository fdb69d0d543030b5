// libFuzzer entry for the walk over USB descriptors that finds the camera's
// extension unit: the unit it returns and its control bitmap must lie inside
// the descriptors, and asking for any selector must stay inside the bitmap.

#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "device/uvc/VideoControlDescriptors.h"

using fuzzsupport::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> descriptors(data, size);
    const auto unit = veltrion::findExtensionUnitDescriptor(descriptors, veltrion::kVeltrionExtensionUnitGuid);
    if (!unit) return 0;
    require(unit->controls.empty() ||
            (unit->controls.data() >= data && unit->controls.data() + unit->controls.size() <= data + size));
    unsigned selectors = 0;
    for (unsigned selector = 0; selector <= 255; ++selector)
        selectors += unit->hasSelector(static_cast<uint8_t>(selector)) ? 1 : 0;
    require(selectors <= unit->controls.size() * 8);
    return 0;
}
