#include "dialog/DialogServices.h"

namespace veltrion::desktop {

namespace {

void logNotShown(Logger& log, const char* caller, const std::string& shownSerial, const std::string& selectedSerial) {
    log.log(kLogError, "%s: the page shows camera %s, but camera %s is selected; nothing is written\n", caller,
            shownSerial.empty() ? "(none)" : shownSerial.c_str(),
            selectedSerial.empty() ? "(none)" : selectedSerial.c_str());
}

}  // namespace

bool DialogServices::shownCameraSelected(const std::string& shownSerial, const char* caller) {
    const std::string selected = selectedSerial();
    if (shownSerial == selected) return true;
    logNotShown(logger(), caller, shownSerial, selected);
    return false;
}

std::optional<CameraRef> DialogServices::shownCamera(const std::string& shownSerial, const char* caller,
                                                     const char* operation) {
    const int index = selectedDeviceIndex();
    if (index < 0) {
        logger().log(kLogError, "%s: invalid device index %d\n", caller, index);
        return std::nullopt;
    }
    if (!shownCameraSelected(shownSerial, caller)) return std::nullopt;
    // The list is read anew on every lookup: the index may name another
    // camera now than when the list was shown, so the camera is asked.
    std::optional<CameraRef> camera = model().resolve(index, operation);
    if (!camera) {
        logger().log(kLogError, "%s: invalid device index %d\n", caller, index);
        return std::nullopt;
    }
    if (!model().identify(*camera, operation)) return std::nullopt;
    if (camera->serial != shownSerial) {
        logNotShown(logger(), caller, shownSerial, camera->serial);
        return std::nullopt;
    }
    return camera;
}

}  // namespace veltrion::desktop
