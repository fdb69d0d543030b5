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

// The front end has checked the argument count; the manager logs its own
// progress and errors.
bool createSingleImage(const std::vector<std::string>& files, Veltrion2CamMgr& mgr) {
    return mgr.createSingleImage(files);
}

bool createUnifiedImage(const std::vector<std::string>& files, Veltrion2CamMgr& mgr) {
    return mgr.createUnifiedImage(files);
}

}  // namespace veltrion::cli
