// The run-time switches (automatic framing, image enhancement) of a camera,
// reached through its extension unit by serial number.

#include "model/CamMgrModel.h"

#include "device/uvc/ExtensionUnitControls.h"
#include "device/uvc/UVCExtensionUnitManager.h"

namespace veltrion::desktop {

struct CamMgrModel::XuSwitch {
    std::shared_ptr<EUHandle> handle;
    uint8_t selector = 0;
    bool ready = false;
    bool available = false;
};

// Opens the camera's extension unit and reads whether the switch of the type
// is ready and available. A switch is available when its control answers a
// read: firmware without the feature has no such control, and a read of it
// stalls. That camera's switch is there but not available.
bool CamMgrModel::openRunTimeSwitch(int type, const std::string& serial, XuSwitch& xu) {
    if (type != 0 && type != 1) {
        logger_->log(kLogError, "getXUHandleForFeature: invalid feature type\n");
        return false;
    }
    xu.selector = type == 0 ? xu::kAutoFramingSwitch : xu::kEnhancementSwitch;
    std::vector<CameraSource> cameras;
    xuManager_->enumerateCameras(cameras);
    const CameraSource* camera = nullptr;
    // The serial must match exactly: one camera's serial may be part of another's.
    for (const auto& candidate : cameras)
        if (!serial.empty() && candidate.serial == serial) camera = &candidate;
    if (!camera) {
        logger_->log(kLogError, "getXUHandleForFeature: serial number %s cam not found!\n", serial.c_str());
        return false;
    }
    xu.handle = xuManager_->openExtensionUnit(kVeltrionExtensionUnitGuid, camera->key);
    if (!xu.handle) {
        logger_->log(kLogError, "getXUHandleForFeature: failed to open dev %s", camera->key.c_str());
        return false;
    }
    uint8_t byte = 0;
    if (xuManager_->getProperty(xu.handle, xu::kRunTimeReady, &byte, 1) != 0) {
        logger_->log(kLogError, "getXUHandleForFeature: failed to get ready, type = %d\n", type);
        return false;
    }
    xu.ready = byte != 0;
    if (!xu.ready) return true;
    if (xuManager_->getProperty(xu.handle, xu.selector, &byte, 1) != 0) {
        logger_->log(kLogInfo, "getXUHandleForFeature: failed to get avail, type = %d\n", type);
        return true;
    }
    xu.available = true;
    return true;
}

bool CamMgrModel::getRunTimeStatus(int type, const std::string& serial, bool& on, bool& ready, bool& available) {
    on = ready = available = false;
    XuSwitch xu;
    if (!openRunTimeSwitch(type, serial, xu)) {
        logger_->log(kLogError, "getRunTimeStatus: no handle\n");
        return false;
    }
    ready = xu.ready;
    available = xu.available;
    if (!ready || !available) return true;
    uint8_t byte = 0;
    if (xuManager_->getProperty(xu.handle, xu.selector, &byte, 1) != 0) {
        logger_->log(kLogError, "getRunTimeStatus: failed to get status, type = %d\n", type);
        return false;
    }
    on = byte != 0;
    return true;
}

bool CamMgrModel::setRunTimeStatus(int type, const std::string& serial, bool on) {
    XuSwitch xu;
    if (!openRunTimeSwitch(type, serial, xu)) {
        logger_->log(kLogError, "setRunTimeStatus: no handle\n");
        return false;
    }
    uint8_t byte = on ? 1 : 0;
    if (!xu.ready || !xu.available || xuManager_->setProperty(xu.handle, xu.selector, &byte, 1) != 0) {
        logger_->log(kLogError, "setRunTimeStatus: failed to set status, type = %d\n", type);
        return false;
    }
    return true;
}

}  // namespace veltrion::desktop
