#include "image/ImageSelection.h"

#include "device/CameraIdentity.h"

namespace veltrion {

ImageChoice chooseImageForCamera(const UnifiedPackage& package, uint16_t vendorId, uint16_t productId) {
    ImageChoice choice;
    const std::string wantedGroup = getFwGroupFromVidPid(vendorId, productId);
    if (wantedGroup.empty()) return choice;  // an identity outside the line fits nothing
    for (size_t i = 0; i < package.imageCount(); ++i) {
        const std::string group = getFwGroupFromVidPid(package.vendorIds[i], package.productIds[i]);
        if (group != wantedGroup) continue;
        if (package.vendorIds[i] == vendorId && package.productIds[i] == productId) {
            choice.index = static_cast<int>(i);
            return choice;
        }
        ++choice.groupMatches;
        choice.matchIndex = static_cast<int>(i);
    }
    if (choice.groupMatches == 1) choice.index = choice.matchIndex;
    return choice;
}

}  // namespace veltrion
