#pragma once

// Finds the camera's extension unit in USB descriptors. Takes either the
// whole descriptor set of a device (as sysfs "descriptors" gives it: device
// descriptor, then each configuration with its interfaces) or just the
// class-specific descriptors of the VideoControl interface.

#include <cstdint>
#include <optional>
#include <span>

#include "VideoPort.h"

namespace veltrion {

struct ExtensionUnitDescriptor {
    uint8_t unitId = 0;
    // bmControls: bit (selector - 1) set when the unit has that control.
    std::span<const uint8_t> controls;

    bool hasSelector(uint8_t selector) const;
};

// Walks the descriptors step by bLength, bounds-checked, and returns the
// first VideoControl extension unit with this GUID. A descriptor that runs
// past the end, or a bLength below 2, ends the walk.
std::optional<ExtensionUnitDescriptor> findExtensionUnitDescriptor(std::span<const uint8_t> descriptors,
                                                                   const UnitGuid& guid);

}  // namespace veltrion
