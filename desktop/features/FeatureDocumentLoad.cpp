#include "features/FeatureDocumentLoad.h"

namespace veltrion::desktop {

std::shared_ptr<const FeatureDocument> loadFeatureDocument(DialogServices& services) {
    const int index = services.selectedDeviceIndex();
    const auto camera = services.model().resolve(index, "getFeatureJson");
    if (!camera) {
        services.logger().log(kLogError, "initJsonVariables: invalid device index %d\n", index);
        return nullptr;
    }
    auto document = services.model().getFeatureJson(*camera);
    if (!document) services.logger().log(kLogError, "initJsonVariables: failed\n");
    return document;
}

}  // namespace veltrion::desktop
