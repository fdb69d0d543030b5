#include "CameraSelection.h"

#include "NumberArgument.h"

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
    // The whole text must be the number: "1x" or "-1" names no camera.
    uint32_t number = 0;
    switch (parseNumber(selector, NumberBase::Decimal, UINT32_MAX, number)) {
        case NumberParse::Ok:
            break;
        case NumberParse::NotANumber:
            log.log(kLogError, "unable to scan camera number from %s\n", selector.c_str());
            return false;
        case NumberParse::OutOfRange:
            log.log(kLogError, "cam %s is not available - only %u cams avail\n", selector.c_str(),
                    static_cast<unsigned>(paths.size()));
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
