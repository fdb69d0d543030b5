#include "UpdateActions.h"

#include <cstdio>

#include "CameraSelection.h"
#include "NumberArgument.h"

namespace veltrion::cli {

namespace {

constexpr const char* kAllCameras = "all";

}  // namespace

bool updateCameraFirmware(const std::string& selector, const std::string& imageFile, bool force,
                          Veltrion2CamMgr& mgr) {
    Logger& log = mgr.logger();
    if (selector == kAllCameras) {
        bool anyUpdated = false;
        if (!mgr.updateCameraFirmwareAllCams(imageFile, force, anyUpdated)) return false;
        if (anyUpdated) log.log(kLogInfo, "Update Successful: Please reboot all cameras\n");
        return true;
    }

    uint32_t number = 0;
    const NumberParse parsed = parseNumber(selector, NumberBase::Decimal, UINT32_MAX, number);
    if (parsed == NumberParse::NotANumber) {
        log.log(kLogInfo, "updateCameraFirmware: unable to scan camera number from %s\n", selector.c_str());
        return false;
    }
    std::vector<std::string> paths;
    if (!mgr.getCameraList(paths)) {
        log.log(kLogInfo, "updateCameraFirmware: unable to enumerate cameras\n");
        return false;
    }
    if (parsed == NumberParse::OutOfRange) {
        log.log(kLogInfo, "updateCameraFirmware: no such camera id %s\n", selector.c_str());
        return false;
    }
    if (number >= paths.size()) {
        log.log(kLogInfo, "updateCameraFirmware: no such camera id %u\n", number);
        return false;
    }
    const std::string& path = paths[number];
    bool updated = false;
    // The update ends with the new feature layout's factory defaults.
    if (!mgr.updateCameraFirmware(force, updated, 0, 0, path, imageFile)) return false;
    if (!updated) return true;
    log.log(kLogInfo, "Update Successful: Please reboot the updated camera\n");
    return true;
}

bool displayDeviceUpdateInfo(const std::string& selector, const std::string& imageFile, Veltrion2CamMgr& mgr) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;
    Logger& log = mgr.logger();
    if (all) {
        log.log(kLogInfo, "displayDeviceUpdateInfo: Not supported all cam\n");
        return false;
    }
    bool needed = false;
    unsigned seconds = 0;
    if (!mgr.isUpdateNeeded(imageFile, false, needed, seconds, paths[index])) return false;
    if (needed)
        log.log(kLogInfo, "Device %u's firmware can be updated, and the update takes about %u seconds\n", index,
                seconds);
    else
        log.log(kLogInfo, "Device %u already has the up-to-date firmware\n", index);
    return true;
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
