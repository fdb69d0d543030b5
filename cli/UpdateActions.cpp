#include "UpdateActions.h"

#include "NotAvailable.h"

namespace veltrion::cli {

bool updateCameraFirmware(const std::string&, const std::string&, bool, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-p");
}

bool displayDeviceUpdateInfo(const std::string&, const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-t");
}

bool reportBrokenCameras(Veltrion2CamMgr& mgr) {
    const int broken = mgr.getNumBrokenCameras();
    if (broken > 0) {
        mgr.logger().log(kLogInfo, "There is(are) %u Broken \"WestBridge\" Veltrion2 camera(s) in the system\n",
                         static_cast<unsigned>(broken));
        return true;
    }
    mgr.logger().log(kLogInfo, "There is no Broken \"WestBridge\" Veltrion2 camera(s) in the system\n");
    return false;
}

bool createSingleImage(const std::vector<std::string>&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-c");
}

bool createUnifiedImage(const std::vector<std::string>&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "--uni");
}

}  // namespace veltrion::cli
