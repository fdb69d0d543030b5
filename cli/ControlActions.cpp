#include "ControlActions.h"

#include <cstdio>

#include "CameraSelection.h"
#include "NumberArgument.h"

namespace veltrion::cli {

namespace {

constexpr int kMaxButton = 9;
constexpr const char* kHexPrefix = "0x";

// The one camera an action that refuses "all" works on; the refusal is logged.
bool selectOneCamera(Veltrion2CamMgr& mgr, const std::string& selector, const char* allRefusal, int allLevel,
                     std::string& path) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    if (selection.all) {
        mgr.logger().log(allLevel, "%s", allRefusal);
        return false;
    }
    path = selection.paths[selection.index];
    return true;
}

}  // namespace

bool applyPreset(const std::string& selector, const std::string& action, const std::string& type,
                 const std::string& button, Veltrion2CamMgr& mgr) {
    Logger& log = mgr.logger();
    std::string path;
    if (!selectOneCamera(mgr, selector, "does not handle all cam\n", kLogInfo, path)) return false;
    int buttonNumber = 0;
    if (std::sscanf(button.c_str(), "%d", &buttonNumber) != 1) {
        log.log(kLogError, "unable to scan button number from %s\n", button.c_str());
        return false;
    }
    if (buttonNumber < 0 || buttonNumber > kMaxButton) {
        log.log(kLogError, "invalid button number %d, can only between 0 to 9\n", buttonNumber);
        return false;
    }
    if (type != "ptz" && type != "control") {
        log.log(kLogError, "invalid preset type %s, can only be \"ptz\" or \"control\"\n", type.c_str());
        return false;
    }
    const bool imageControl = type == "control";
    const auto number = static_cast<uint16_t>(buttonNumber);
    bool done = false;
    if (action == "save") {
        done = mgr.saveCamPreset(path, imageControl, number);
    } else if (action == "apply") {
        done = mgr.applyCamPreset(path, imageControl, number);
    } else if (action == "reset") {
        done = mgr.resetCamPreset(path, imageControl, number);
    } else {
        log.log(kLogError, "invalid action %s, can only be \"save\", \"apply\", or \"reset\"\n", action.c_str());
        return false;
    }
    std::printf("%s %s %s preset on btn %d\n", done ? "successful" : "failed to", action.c_str(), type.c_str(),
                buttonNumber);
    return done;
}

bool setFaceDetectSensitivity(const std::string& selector, const std::string& value, Veltrion2CamMgr& mgr) {
    Logger& log = mgr.logger();
    std::string path;
    if (!selectOneCamera(mgr, selector, "does not support all cam\n", kLogError, path)) return false;
    if (value.size() <= 2 || value.compare(0, 2, kHexPrefix) != 0) {
        log.log(kLogError, "Invalid sensitivity \"%s\"! Not begin with 0x or no value\n", value.c_str());
        return false;
    }
    // The whole text must be one hexadecimal number: "0xZZ" or "0x10944"
    // must never reach the camera as another value.
    uint32_t sensitivity = 0;
    switch (parseNumber(value, NumberBase::Hexadecimal, UINT32_MAX, sensitivity)) {
        case NumberParse::Ok:
            break;
        case NumberParse::NotANumber:
        case NumberParse::OutOfRange:
            log.log(kLogError, "unable to scan sensitivity from %s\n", value.c_str());
            return false;
    }
    if (sensitivity > Veltrion2CamMgr::kMaxFaceDetectSensitivity) {
        log.log(kLogError, "Veltrion2CamMgr::setFDSen failed - invalid senVal given 0x%x\n", sensitivity);
        return false;
    }
    return mgr.setFDSen(path, static_cast<uint16_t>(sensitivity));
}

bool setFaceBox(const std::string& selector, bool enable, Veltrion2CamMgr& mgr) {
    std::string path;
    if (!selectOneCamera(mgr, selector, "does not support all cam\n", kLogError, path)) return false;
    return mgr.setFaceBoxInVideo(path, enable);
}

bool displaySensorTemperatures(const std::string& selector, Veltrion2CamMgr& mgr) {
    std::string path;
    if (!selectOneCamera(mgr, selector, "does not support all cam\n", kLogError, path)) return false;
    float sensors[3] = {};
    if (!mgr.getSensorTempC(path, sensors[0], sensors[1], sensors[2])) {
        mgr.logger().log(kLogError, "failed to read sensor temp!\n");
        return false;
    }
    for (int sensor = 0; sensor < 3; ++sensor)
        std::printf("Sensor%d: %.3f Celsius\n", sensor, static_cast<double>(sensors[sensor]));
    return true;
}

}  // namespace veltrion::cli
