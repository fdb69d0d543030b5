#pragma once

// The camera manager: the single entry point of the camera library. A program
// asks it for the attached cameras and then names a camera by its device path
// in every call; each call opens the camera, works and closes it again.
//
// The members are spread over files by concern:
//   CamMgrCore.cpp      construction, camera list, camera information, state
//                       queries, reboot, versions

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CameraInfo.h"
#include "Logger.h"
#include "UpdateProgressCallback.h"
#include "device/B6Device.h"

namespace veltrion {

class Veltrion2CamMgr {
public:
    // Builds the device object of the chosen channel. Throws std::runtime_error
    // "Unsupported OS\n" when no usable device object exists.
    explicit Veltrion2CamMgr(bool useVendorChannel);
    // Uses the given device object (tests, or a program that builds its own).
    Veltrion2CamMgr(bool useVendorChannel, std::unique_ptr<B6Device> device);
    ~Veltrion2CamMgr();
    Veltrion2CamMgr(const Veltrion2CamMgr&) = delete;
    Veltrion2CamMgr& operator=(const Veltrion2CamMgr&) = delete;

    // ---- wiring ----
    void setLogger(Logger* logger) { logger_.set(logger); }
    Logger& logger() const { return logger_.get(); }
    void setProgressCallback(CamUpdateProgressCallbackInterface* callback) { progressCallback_ = callback; }
    B6Device* device() const { return device_.get(); }
    bool usesVendorChannel() const { return useVendorChannel_; }

    // ---- camera list and information ----
    bool getCameraList(std::vector<std::string>& paths);
    int getNumBrokenCameras();
    bool getVeltrion2Info(CameraInfo& info, const std::string& devPath);
    bool getDescriptorInfo(CameraInfo& info);
    void isSystemLoaded(const std::string& devPath, bool& loaded, bool& transferOk);

    // ---- state queries ----
    bool getUSBType(const std::string& devPath, int& usbType);
    bool getExternalPowerPresent(const std::string& devPath, int& present);
    bool getCamStreamingStatus(const std::string& devPath, bool& streaming);

    // ---- reboot ----
    bool rebootDevice(const std::string& devPath);
    bool rebootAllVeltrion2Camera();

    // ---- versions and checksum ----
    bool getVersion(const std::string& text, uint32_t& version);
    static std::string versionToString(uint32_t version);
    static uint16_t fletcher16(const uint8_t* data, size_t length);

private:
    std::unique_ptr<B6Device> createDevice();
    // Sends one 1-byte IN query on an opened-and-closed-again device.
    bool queryByte(const std::string& devPath, uint8_t request, uint16_t value, uint16_t index,
                   uint8_t& reply, const char* operation, const char* openFailureText);

    LoggerSlot logger_;
    bool useVendorChannel_;
    std::unique_ptr<B6Device> device_;
    CamUpdateProgressCallbackInterface* progressCallback_ = nullptr;
};

}  // namespace veltrion
