#include "features/FeatureDefaults.h"

namespace veltrion::desktop {

bool programDefaultFeatureValues(CamMgrModel& model, const CameraRef& camera) {
    const auto document = model.getFeatureJson(camera);
    if (!document || document->text.empty()) {
        model.logger().log(kLogError, "programDefaultFeatureValues: json is not loaded\n");
        return false;
    }
    if (camera.path.empty()) {
        model.logger().log(kLogError, "programDefaultFeatureValues: invalid device index %d\n", camera.index);
        return false;
    }
    return model.programDefaultFeatureValues(camera, document->text);
}

}  // namespace veltrion::desktop
