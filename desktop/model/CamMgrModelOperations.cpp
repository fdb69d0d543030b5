// The model's camera operations other than the list, status and update:
// flash access, reboot, streaming state, report, presets, face boxes and the
// feature JSON of the image.

#include "model/CamMgrModel.h"

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::desktop {

bool CamMgrModel::programDevice(const CameraRef& camera, uint32_t address, const uint8_t* data, uint32_t length) {
    logger_->log(kLogInfo, "programDevice through %s at 0x%08x, with buf %u bytes:\n", camera.channelName(), address,
                 length);
    if (!managerFor(camera).updateFlashContents(address, data, length, true, camera.path)) {
        logger_->log(kLogError, "programDevice: failed to update flash contents!\n");
        return false;
    }
    return true;
}

bool CamMgrModel::getFlashData(const CameraRef& camera, uint32_t address, uint8_t* data, uint32_t length) {
    logger_->log(kLogInfo, "reading through %s at 0x%08x, with buf %u bytes:\n", camera.channelName(), address, length);
    if (!managerFor(camera).readFlashContents(address, data, length, camera.path)) {
        logger_->log(kLogError, "getFlashData: failed to read flash contents!\n");
        return false;
    }
    return true;
}

void CamMgrModel::rebootDevice(const CameraRef& camera) {
    logger_->log(kLogInfo, "rebooting camera through %s ...\n", camera.channelName());
    if (!managerFor(camera).rebootDevice(camera.path)) logger_->log(kLogError, "failed to reboot camera\n");
}

bool CamMgrModel::isDevStreaming(const CameraRef& camera, bool& streaming) {
    streaming = false;
    if (!managerFor(camera).getCamStreamingStatus(camera.path, streaming)) {
        logger_->log(kLogInfo,
                     "isDevStreaming: failed to streaming status. Assuming it is old f/w and camera is not streaming\n");
        streaming = false;
    }
    return true;
}

bool CamMgrModel::generateDeviceReport(const CameraRef& camera, const std::string& folder, bool fullReport) {
    return managerFor(camera).generateDeviceReport(fullReport, camera.path, folder);
}

bool CamMgrModel::saveFilterControlPreset(const CameraRef& camera, int preset) {
    return managerFor(camera).saveCamPreset(camera.path, true, static_cast<uint16_t>(preset));
}

bool CamMgrModel::savePTZPreset(const CameraRef& camera) { return managerFor(camera).saveCamPreset(camera.path, false, 9); }

bool CamMgrModel::turnOnOffFaceBox(const CameraRef& camera, bool on) {
    return managerFor(camera).setFaceBoxInVideo(camera.path, on);
}

// ---- feature JSON ----

std::shared_ptr<const FeatureDocument> CamMgrModel::getFeatureJson(CameraRef camera) {
    std::lock_guard lock(jsonMutex_);
    if (featureJson_) return featureJson_;
    if (!identify(camera, "getFeatureJson")) return nullptr;
    if (imagePath_.empty()) {
        logger_->log(kLogError, "getFeatureJson: no img file given\n");
        return nullptr;
    }
    auto document = std::make_shared<FeatureDocument>();
    Veltrion2CamMgr& manager = *uvcManager_;
    if (!manager.extractJsonStr(camera.vendorId, camera.productId, imagePath_, document->text) ||
        document->text.empty()) {
        logger_->log(kLogError, "getFeatureJson: no json in img\n");
        return nullptr;
    }
    json_t* memoryLayout = nullptr;
    json_t* configurations = nullptr;
    json_t* features = nullptr;
    json_t* baseURL = nullptr;
    json_t* filterControl = nullptr;
    if (!manager.initJsonVariables(document->text, document->root, memoryLayout, configurations, features, baseURL,
                                   filterControl)) {
        logger_->log(kLogError, "getFeatureJson: failed to init JSONs\n");
        return nullptr;
    }
    document->memoryLayout = memoryLayout;
    document->configurations = configurations;
    document->features = features;
    document->baseURL = baseURL;
    document->filterControl = filterControl;
    if (!manager.getFeatureAddrLen(memoryLayout, document->baseAddress, document->dataLength)) {
        logger_->log(kLogError, "getFeatureJson: failed to get feature flash base addr and length\n");
        return nullptr;
    }
    featureJson_ = std::move(document);
    return featureJson_;
}

void CamMgrModel::forgetFeatureJson() {
    std::lock_guard lock(jsonMutex_);
    featureJson_.reset();
}

bool CamMgrModel::getFeatureFlashValues(const CameraRef& camera, uint16_t featureId, uint8_t* buffer, size_t length) {
    if (length != 3) {
        logger_->log(kLogError, "getFeatureFlashValues: buf length is not 3 bytes, only support 3 bytes now\n");
        return false;
    }
    std::vector<FeatureValueRequest> requests(1);
    requests[0].featureId = featureId;
    requests[0].length = 3;
    if (!managerFor(camera).getValuesFromFeatureIDs(camera.path, requests) || requests[0].value.size() < 3) {
        logger_->log(kLogError, "getFeatureFlashValues: get feature values failed!\n");
        return false;
    }
    std::copy_n(requests[0].value.begin(), 3, buffer);
    return true;
}

bool CamMgrModel::getFeatureInfo(const FeatureDocument& document, FeatureInfo& info, const std::string& featureName,
                                 const std::string& propName) {
    if (!uvcManager_) {
        logger_->log(kLogError, "getFeatureInfo: no camMgr created!!!\n");
        return false;
    }
    return uvcManager_->getFeatureInfo(document.memoryLayout, document.configurations, document.features,
                                       document.baseURL, info, featureName, propName);
}

bool CamMgrModel::programDefaultFeatureValues(const CameraRef& camera, const std::string& jsonText) {
    return managerFor(camera).programDefaultFeatureValues(jsonText, camera.path);
}

}  // namespace veltrion::desktop
