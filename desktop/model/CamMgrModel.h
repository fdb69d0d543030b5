#pragma once

// The desktop program's single facade over the camera library. The dialog
// names a camera by its index in the device list (UVC-channel cameras first,
// then vendor-channel ones); resolve() turns an index into a CameraRef, and
// every camera operation works on a CameraRef, so a job that resolved its
// camera once keeps working on that camera whatever is plugged in meanwhile.
// Every operation fails soft: it logs its own line and returns false.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/Logger.h"
#include "config/FeatureLayout.h"
#include "manager/UpdateProgressCallback.h"
#include "model/CameraRef.h"
#include "model/DeviceStatus.h"
#include "model/FeatureDocument.h"

namespace veltrion {
class Veltrion2CamMgr;
class UVCExtensionUnitManager;
}  // namespace veltrion

namespace veltrion::desktop {

class CamMgrModel : public CamUpdateProgressCallbackInterface {
public:
    // Builds the UVC manager (desktop product list), the vendor-channel
    // manager and the extension-unit manager. Throws std::runtime_error with
    // the library's text when a manager cannot be built.
    CamMgrModel();
    ~CamMgrModel() override;
    CamMgrModel(const CamMgrModel&) = delete;
    CamMgrModel& operator=(const CamMgrModel&) = delete;

    // Hands the logger to the model, both managers and their device objects.
    void setLogger(Logger* logger);
    Logger& logger() const { return logger_.get(); }
    void setImagePath(const std::string& path) { imagePath_ = path; }
    const std::string& imagePath() const { return imagePath_; }

    // ---- camera list ----
    // Rebuilds the channel map; UVC cameras first, each group in its
    // manager's order. A vendor-channel camera whose serial a UVC camera
    // already has is the same camera and is listed once.
    std::vector<std::string> deviceList();
    // Empty when the index is outside the list or the channel has no manager.
    std::string getPathByIdx(int index, bool& uvc);
    // The camera at the index now; none, after "<operation>: no cam!\n".
    std::optional<CameraRef> resolve(int index, const char* operation);
    // Reads the camera's serial and USB ids into the ref, once; false after
    // "<operation>: failed to get cam Info!\n".
    bool identify(CameraRef& camera, const char* operation);

    // ---- status and update ----
    bool getDeviceStatus(int index, DeviceStatus& status);
    // targetIdentity "vvvv:pppp" (identity mode) or empty for the camera's own.
    bool updateDevice(CameraRef camera, const std::string& targetIdentity);
    void readProgress(int& percent, std::string& text);
    void reportProgress(std::string step, int percent) override;

    // ---- flash and device ----
    bool programDevice(const CameraRef& camera, uint32_t address, const uint8_t* data, uint32_t length);
    bool getFlashData(const CameraRef& camera, uint32_t address, uint8_t* data, uint32_t length);
    void rebootDevice(const CameraRef& camera);
    // A camera that cannot tell is taken as not streaming (older firmware).
    bool isDevStreaming(const CameraRef& camera, bool& streaming);
    bool generateDeviceReport(const CameraRef& camera, const std::string& folder, bool fullReport);

    // ---- run-time controls ----
    bool saveFilterControlPreset(const CameraRef& camera, int preset);
    bool savePTZPreset(const CameraRef& camera);
    bool turnOnOffFaceBox(const CameraRef& camera, bool on);
    // type 0: automatic framing (selector 3); type 1: image enhancement (selector 5).
    bool getRunTimeStatus(int type, const std::string& serial, bool& on, bool& ready, bool& available);
    bool setRunTimeStatus(int type, const std::string& serial, bool on);

    // ---- feature JSON of the image ----
    // Loaded once for the camera's identity and kept until forgetFeatureJson().
    std::shared_ptr<const FeatureDocument> getFeatureJson(CameraRef camera);
    void forgetFeatureJson();
    // Only a 3-byte buffer is accepted.
    bool getFeatureFlashValues(const CameraRef& camera, uint16_t featureId, uint8_t* buffer, size_t length);
    bool getFeatureInfo(const FeatureDocument& document, FeatureInfo& info, const std::string& featureName,
                        const std::string& propName);
    bool programDefaultFeatureValues(const CameraRef& camera, const std::string& jsonText);

    Veltrion2CamMgr& managerFor(const CameraRef& camera);

private:
    struct XuSwitch;
    bool openRunTimeSwitch(int type, const std::string& serial, XuSwitch& xu);

    LoggerSlot logger_;
    std::string imagePath_;
    std::unique_ptr<Veltrion2CamMgr> uvcManager_;
    std::unique_ptr<Veltrion2CamMgr> usbManager_;
    std::unique_ptr<UVCExtensionUnitManager> xuManager_;
    std::mutex listMutex_;
    std::map<std::string, bool> devMgrMap_;  // path -> UVC channel
    std::mutex jsonMutex_;
    std::shared_ptr<const FeatureDocument> featureJson_;
    std::mutex progressMutex_;
    int progressPercent_ = 0;
    std::string progressText_;
};

}  // namespace veltrion::desktop
