#include "CameraSelection.h"

#include <cstdio>

namespace veltrion::cli {

namespace {
constexpr const char* kAllCameras = "all";
}

bool parseCameraNumber(Veltrion2CamMgr& mgr, const std::string& selector, CameraSelection& selection) {
    Logger& log = mgr.logger();
    std::vector<std::string>& paths = selection.paths;
    if (!mgr.getCameraList(paths)) {
        log.log(kLogError, "failed to get list of cams\n");
        return false;
    }
    if (paths.empty()) {
        log.log(kLogError, "no device found\n");
        return false;
    }
    selection.all = false;
    if (selector == kAllCameras) {
        selection.all = true;
        return true;
    }
    // "%u" as users know it: a leading number is enough, and a negative one
    // wraps to a large value that the range check below refuses.
    unsigned number = 0;
    if (std::sscanf(selector.c_str(), "%u", &number) != 1) {
        log.log(kLogError, "unable to scan camera number from %s\n", selector.c_str());
        return false;
    }
    if (number >= paths.size()) {
        log.log(kLogError, "cam %u is not available - only %u cams avail\n", number,
                static_cast<unsigned>(paths.size()));
        return false;
    }
    selection.index = number;
    return true;
}

}  // namespace veltrion::cli
