// Run-time controls of a running camera: face-detection sensitivity, the
// face box in the video, presets and the image sensors' temperatures.

#include <array>

#include "config/RegisterMap.h"
#include "manager/DeviceSession.h"
#include "manager/Veltrion2CamMgr.h"

namespace veltrion {

namespace {

constexpr uint16_t kQueryFaceDetectSensitivity = 0x36;
constexpr uint16_t kQueryFaceBox = 0x39;
constexpr uint16_t kControlValue = 1;
constexpr uint8_t kAccepted = 1;

constexpr uint16_t kMaxPresetType = 1;
constexpr uint16_t kMaxPresetAction = 2;
constexpr uint16_t kMaxPresetButton = 9;
constexpr uint16_t kPresetApply = 0;
constexpr uint16_t kPresetSave = 1;
constexpr uint16_t kPresetReset = 2;

// Type in bits 14..12, action in bits 11..8, button in bits 7..0.
constexpr uint16_t presetWord(uint16_t type, uint16_t action, uint16_t button) {
    return static_cast<uint16_t>(type << 12 | action << 8 | button);
}
static_assert(presetWord(1, 1, 9) == 0x1109);

// Register types of the three image sensors.
constexpr std::array<int, 3> kSensorRegisterTypes{4, 5, 6};

}  // namespace

bool Veltrion2CamMgr::setFDSen(const std::string& devPath, uint16_t sensitivity) {
    if (sensitivity > kMaxFaceDetectSensitivity) {
        logger_->log(kLogError, "Veltrion2CamMgr::setFDSen failed - invalid senVal given 0x%hx\n", sensitivity);
        return false;
    }
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::setFDSen failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    std::array<uint8_t, 2> value{static_cast<uint8_t>(sensitivity & 0xFF), static_cast<uint8_t>(sensitivity >> 8)};
    if (!device_->sendUsbControlTransfer(vreq::kTypeOut, vreq::kQuery, kControlValue, kQueryFaceDetectSensitivity,
                                         value.data(), static_cast<uint16_t>(value.size()))) {
        logger_->log(kLogError, "Veltrion2CamMgr::setFDSen failed - control transfer failed\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::setFaceBoxInVideo(const std::string& devPath, bool enable) {
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::setFaceBoxInVideo failed - unable to open dev %s\n",
                     devPath.c_str());
        return false;
    }
    uint8_t reply = 0;
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, enable ? 1 : 0, kQueryFaceBox, &reply, 1)) {
        logger_->log(kLogError, "Veltrion2CamMgr::setFaceBoxInVideo failed - control transfer failed\n");
        return false;
    }
    if (reply != kAccepted) {
        logger_->log(kLogError, "Veltrion2CamMgr::setFaceBoxInVideo failed - invalid resp = %x\n", reply);
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::sendPresetCmd(const std::string& devPath, uint16_t type, uint16_t action, uint16_t button) {
    if (type > kMaxPresetType) {
        logger_->log(kLogError, "Veltrion2CamMgr::sendPresetCmd failed - invalid preset type %hu\n", type);
        return false;
    }
    if (action > kMaxPresetAction) {
        logger_->log(kLogError, "Veltrion2CamMgr::sendPresetCmd failed - invalid action %hu\n", action);
        return false;
    }
    if (button > kMaxPresetButton) {
        logger_->log(kLogError, "Veltrion2CamMgr::sendPresetCmd failed - invalid btn num %hu\n", button);
        return false;
    }
    // Saving or resetting a preset makes the camera store it: a writer's job.
    CameraWriteLock writeLock;
    if (action != kPresetApply) {
        writeLock = lockCameraForWriting(devPath);
        if (!writeLock) return false;
    }
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::sendPresetCmd failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    uint8_t reply = 0;
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, presetWord(type, action, button),
                                         vreq::kQueryPreset, &reply, 1)) {
        logger_->log(kLogError, "Veltrion2CamMgr::sendPresetCmd failed - vendor command 0xFE failed\n");
        return false;
    }
    if (reply != kAccepted) {
        logger_->log(kLogError, "Veltrion2CamMgr::sendPresetCmd failed - return not 0x1\n");
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::applyCamPreset(const std::string& devPath, bool imageControl, uint16_t button) {
    return sendPresetCmd(devPath, imageControl ? 1 : 0, kPresetApply, button);
}

bool Veltrion2CamMgr::saveCamPreset(const std::string& devPath, bool imageControl, uint16_t button) {
    return sendPresetCmd(devPath, imageControl ? 1 : 0, kPresetSave, button);
}

bool Veltrion2CamMgr::resetCamPreset(const std::string& devPath, bool imageControl, uint16_t button) {
    return sendPresetCmd(devPath, imageControl ? 1 : 0, kPresetReset, button);
}

bool Veltrion2CamMgr::getSensorTempC(const std::string& devPath, float& sensor0, float& sensor1, float& sensor2) {
    DeviceSession session(*device_, devPath);
    if (!session.isOpen()) {
        logger_->log(kLogError, "Veltrion2CamMgr::getSensorTempC failed - unable to open dev %s\n", devPath.c_str());
        return false;
    }
    std::array<float*, 3> outputs{&sensor0, &sensor1, &sensor2};
    for (size_t sensor = 0; sensor < kSensorRegisterTypes.size(); ++sensor) {
        const int type = kSensorRegisterTypes[sensor];
        const auto fail = [&](const char* text) {
            logger_->log(kLogError, "%s", text);
            return false;
        };
        if (!writeRegister(type, reg::kSensorTempControl, reg::kSensorTempEnable))
            return fail("Veltrion2CamMgr::getSensorTempC failed to set reg 0x3126 to 0x0001\n");
        if (!writeRegister(type, reg::kSensorTempControl, reg::kSensorTempStart))
            return fail("Veltrion2CamMgr::getSensorTempC failed to set reg 0x3126 to 0x0021\n");
        if (!writeRegister(type, reg::kSensorTempControl, reg::kSensorTempLatch))
            return fail("Veltrion2CamMgr::getSensorTempC failed to set reg 0x3126 to 0x0011\n");
        uint16_t reading = 0, calibration = 0;
        if (!readRegister(type, reg::kSensorTempReading, reading))
            return fail("Veltrion2CamMgr::getSensorTempC failed to read reg 0x3124\n");
        if (!writeRegister(type, reg::kSensorTempControl, reg::kSensorTempOff))
            return fail("Veltrion2CamMgr::getSensorTempC failed to set reg 0x3126 to 0x0\n");
        if (!readRegister(type, reg::kSensorTempCalibration, calibration))
            return fail("Veltrion2CamMgr::getSensorTempC failed to read reg 0x3128\n");
        *outputs[sensor] = (static_cast<float>(reading) - (static_cast<float>(calibration) - reg::kSensorTempOffset)) /
                           reg::kSensorTempSlope;
    }
    return true;
}

}  // namespace veltrion
