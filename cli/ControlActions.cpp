#include "ControlActions.h"

#include "NotAvailable.h"

namespace veltrion::cli {

bool applyPreset(const std::string&, const std::string&, const std::string&, const std::string&,
                 Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "--preset");
}

bool setFaceDetectSensitivity(const std::string&, const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "--fd-sen");
}

bool setFaceBox(const std::string&, bool, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "--face-box");
}

bool displaySensorTemperatures(const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "--sensor-temp");
}

}  // namespace veltrion::cli
