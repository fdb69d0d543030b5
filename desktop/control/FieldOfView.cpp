#include "control/FieldOfView.h"

#include <iterator>

#include "dialog/DialogServices.h"

namespace veltrion::desktop {

bool fieldOfViewDegrees(const uint8_t feature[3], int& degrees, unsigned& raw) {
    // Without the enable byte the camera uses its full field of view.
    if (feature[0] != 1) {
        degrees = kFullFieldOfView;
        return true;
    }
    raw = static_cast<unsigned>(feature[1]) | static_cast<unsigned>(feature[2]) << 8;
    constexpr int kDegreesByChoice[] = {180, 140, 120, 90};
    if (raw >= std::size(kDegreesByChoice)) return false;
    degrees = kDegreesByChoice[raw];
    return true;
}

bool readFieldOfView(DialogServices& services, int& degrees) {
    const int index = services.selectedDeviceIndex();
    const auto camera = services.model().resolve(index, "getFeatureFlashValues");
    if (!camera) {
        services.logger().log(kLogError, "getFoV: invalid device index %d\n", index);
        return false;
    }
    uint8_t feature[3] = {};
    if (!services.model().getFeatureFlashValues(*camera, kFieldOfViewFeature, feature, sizeof feature)) {
        services.logger().log(kLogError, "getFoV: failed to get feature flash value\n");
        return false;
    }
    unsigned raw = 0;
    if (!fieldOfViewDegrees(feature, degrees, raw)) {
        services.logger().log(kLogError, "getFoV: unknow fov value %u\n", raw);
        return false;
    }
    return true;
}

}  // namespace veltrion::desktop
