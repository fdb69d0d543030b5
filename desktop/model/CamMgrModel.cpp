#include "model/CamMgrModel.h"

#include <algorithm>

#include "device/CameraIdentity.h"
#include "device/usb/UsbPort.h"
#include "device/uvc/UVCExtensionUnitManager.h"
#include "device/uvc/VideoPort.h"
#include "manager/Veltrion2CamMgr.h"

namespace veltrion::desktop {

namespace {

// The serial part of a UVC camera key (friendly name + "__" + serial).
std::string serialOfUvcKey(const std::string& key) {
    const size_t separator = key.rfind("__");
    return separator == std::string::npos ? std::string() : key.substr(separator + 2);
}

// A version as the dialog shows it; "0x4a" stands for a camera that gave no text.
std::string shownVersion(uint32_t version) {
    const std::string text = Veltrion2CamMgr::versionToString(version);
    return text.empty() ? "0x4a" : text;
}

}  // namespace

CamMgrModel::CamMgrModel()
    : uvcManager_(std::make_unique<Veltrion2CamMgr>(false, AcceptedProducts::Desktop)),
      usbManager_(std::make_unique<Veltrion2CamMgr>(true)),
      xuManager_(std::make_unique<UVCExtensionUnitManager>(createVideoPort(), AcceptedProducts::Desktop)) {
    uvcManager_->setProgressCallback(this);
    usbManager_->setProgressCallback(this);
    // The update job programs the feature defaults itself after every update
    // (its own exit code when they fail).
    uvcManager_->setFeatureDefaultsInUpdate(false);
    usbManager_->setFeatureDefaultsInUpdate(false);
}

CamMgrModel::~CamMgrModel() = default;

void CamMgrModel::setLogger(Logger* logger) {
    logger_.set(logger);
    uvcManager_->setLogger(logger);
    usbManager_->setLogger(logger);
    uvcManager_->device()->setLogger(logger);
    usbManager_->device()->setLogger(logger);
}

Veltrion2CamMgr& CamMgrModel::managerFor(const CameraRef& camera) { return camera.uvc ? *uvcManager_ : *usbManager_; }

// ---- camera list ----

std::vector<std::string> CamMgrModel::deviceList() {
    std::vector<std::string> uvcPaths, usbPaths;
    uvcManager_->getCameraList(uvcPaths);
    usbManager_->getCameraList(usbPaths);

    std::vector<std::string> list;
    std::vector<std::string> uvcSerials;
    std::lock_guard lock(listMutex_);
    devMgrMap_.clear();
    for (const auto& path : uvcPaths) {
        devMgrMap_[path] = true;
        list.push_back(path);
        uvcSerials.push_back(serialOfUvcKey(path));
    }
    // A camera answers on both channels; the UVC entry stands for it.
    for (const auto& path : usbPaths) {
        const std::string serial = serialOfUsbPath(path);
        if (!serial.empty() && std::find(uvcSerials.begin(), uvcSerials.end(), serial) != uvcSerials.end())
            continue;
        devMgrMap_[path] = false;
        list.push_back(path);
    }
    return list;
}

std::string CamMgrModel::getPathByIdx(int index, bool& uvc) {
    const std::vector<std::string> list = deviceList();
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return {};
    const std::string& path = list[static_cast<size_t>(index)];
    std::lock_guard lock(listMutex_);
    const auto found = devMgrMap_.find(path);
    if (found == devMgrMap_.end()) {
        logger_->log(kLogError, "getPathByIdx: dev idx %d not in the devMgrMap!\n", index);
        return {};
    }
    uvc = found->second;
    if (!(uvc ? uvcManager_ : usbManager_)) {
        logger_->log(kLogError, "getPathByIdx: no camMgr created!!! uvc = %d\n", uvc ? 1 : 0);
        return {};
    }
    return path;
}

std::optional<CameraRef> CamMgrModel::resolve(int index, const char* operation) {
    CameraRef camera;
    camera.index = index;
    camera.path = getPathByIdx(index, camera.uvc);
    if (camera.path.empty()) {
        logger_->log(kLogError, "%s: no cam!\n", operation);
        return std::nullopt;
    }
    return camera;
}

bool CamMgrModel::identify(CameraRef& camera, const char* operation) {
    if (camera.identified) return true;
    CameraInfo info;
    if (!managerFor(camera).getVeltrion2Info(info, camera.path)) {
        logger_->log(kLogError, "%s: failed to get cam Info!\n", operation);
        return false;
    }
    camera.serial = info.serialNumber;
    camera.vendorId = info.vendorId;
    camera.productId = info.productId;
    camera.identified = true;
    return true;
}

// ---- status and update ----

bool CamMgrModel::getDeviceStatus(int index, DeviceStatus& status) {
    const bool hasImage = !imagePath_.empty();
    if (!hasImage) logger_->log(kLogError, "getDeviceStatus: no img file given\n");
    CameraRef camera;
    camera.path = getPathByIdx(index, camera.uvc);
    if (camera.path.empty()) return false;
    Veltrion2CamMgr& manager = managerFor(camera);
    CameraInfo info;
    if (!manager.getVeltrion2Info(info, camera.path)) {
        logger_->log(kLogError, "getDeviceStatus: failed to get cam Info!\n");
        return false;
    }

    status = DeviceStatus{};
    status.serialNumber = info.serialNumber;
    status.uvcChannel = camera.uvc;
    const std::string name = camera.uvc ? camera.path.substr(0, camera.path.find('_'))
                                        : getProductNameFromVidPid(info.vendorId, info.productId);
    status.displayName = std::to_string(index + 1) + ". " + name;
    status.devicePath = camera.path;
    status.identity = vidPidKey(info.vendorId, info.productId);
    status.infoValid = info.systemReady;
    if (info.systemReady) {
        status.fx3Version = shownVersion(info.fx3Version);
        status.fpgaVersion = shownVersion(info.fpgaVersion);
    }
    if (!hasImage) return true;

    ImageVersions image{};
    if (!manager.getImgVersion(info.vendorId, info.productId, image, imagePath_)) {
        logger_->log(kLogError, "getDeviceStatus: failed to get vers from img\n");
        return true;
    }
    std::string ownId;
    if (!manager.getListOfAvailableFirmwares(info.vendorId, info.productId, status.componentList, ownId,
                                             imagePath_)) {
        logger_->log(kLogError, "getDeviceStatus: failed to get list of images compatible with your device\n");
        return true;
    }
    status.imageVersion = Veltrion2CamMgr::versionToString(image[0]) + "." + Veltrion2CamMgr::versionToString(image[1]);
    status.updateKnown = true;
    status.upToDate = info.versionsValid && info.versionsRead && info.fpgaVersion == image[0] &&
                      info.fx3Version == image[1] && info.audioVersion == image[2] && info.ispVersion == image[3];
    return true;
}

bool CamMgrModel::updateDevice(CameraRef camera, const std::string& targetIdentity) {
    if (imagePath_.empty()) {
        logger_->log(kLogError, "updateDevice: no img file given\n");
        return false;
    }
    if (!identify(camera, "updateDevice")) return false;
    uint16_t vendorId = camera.vendorId;
    uint16_t productId = camera.productId;
    if (!targetIdentity.empty()) {
        // The identity text the image's list gives: "vvvv:pppp" of a camera of the line.
        const CameraIdentity* identity = nullptr;
        for (const auto& known : cameraIdentities())
            if (targetIdentity == known.key) identity = &known;
        if (!identity) {
            logger_->log(kLogError, "updateDevice: failed to extract vid pid!\n");
            return false;
        }
        vendorId = identity->vendorId;
        productId = identity->productId;
    }
    logger_->log(kLogInfo, "updateDevice: updating device through %s channel...\n", camera.channelName());
    bool updated = false;
    const bool result =
        managerFor(camera).updateCameraFirmware(false, updated, vendorId, productId, camera.path, imagePath_);
    std::lock_guard lock(progressMutex_);
    progressPercent_ = 0;
    progressText_.clear();
    return result;
}

void CamMgrModel::readProgress(int& percent, std::string& text) {
    std::lock_guard lock(progressMutex_);
    percent = progressPercent_;
    text = progressText_;
}

void CamMgrModel::reportProgress(std::string step, int percent) {
    std::lock_guard lock(progressMutex_);
    progressText_ = std::move(step);
    progressPercent_ = percent;
}

}  // namespace veltrion::desktop
