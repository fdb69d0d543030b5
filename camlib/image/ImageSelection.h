#pragma once

#include <cstdint>

#include "image/UpdateImage.h"

namespace veltrion {

// Which image of a unified package fits a camera: the entry with the same
// ids and group, or else the only entry of the same group.
struct ImageChoice {
    int index = -1;         // chosen entry, -1 when none fits
    int matchIndex = -1;    // last entry of the same group with other ids
    int groupMatches = 0;   // entries of the same group with other ids
};

ImageChoice chooseImageForCamera(const UnifiedPackage& package, uint16_t vendorId, uint16_t productId);

}  // namespace veltrion
