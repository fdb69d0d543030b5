#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "WinUVCMgr.h"
#include "base/Logger.h"
#include "device/B6Device.h"

namespace veltrion {

// The UVC channel's camera device: each vendor request travels through the
// camera's extension unit. Cameras are named by key (friendly name + "__" +
// serial number).
class UVCDevice : public B6Device {
public:
    // Throws std::runtime_error("Failed to create XU mgr") when the platform
    // offers no video port. A null port means the platform's.
    explicit UVCDevice(AcceptedProducts products = AcceptedProducts::Console, std::unique_ptr<VideoPort> port = nullptr);
    ~UVCDevice() override;

    bool isSupported() override { return mgr_ != nullptr; }
    void setLogger(Logger* logger) override { logger_.set(logger); }
    void setLogLevel(int level) override { logger_->setThreshold(level); }
    bool getVeltrion2DevPaths(std::vector<std::string>& paths) override;
    bool getBrokenVeltrion2DevPaths(std::vector<std::string>& paths) override;
    bool openVeltrion2Dev(const std::string& devPath) override;
    void closeVeltrion2Dev() override;
    void releaseVeltrion2Dev() override;
    bool reopenVeltrion2Dev() override;
    bool getDeviceDescriptor(UsbDeviceDescriptor& descriptor) override;
    bool getStringDescriptor(uint8_t index, uint16_t languageId, char* buffer, uint16_t bufferSize) override;
    bool sendUsbControlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                uint8_t* data, uint16_t length) override;
    // The same lock file the vendor channel takes for this camera, so writers
    // on both channels exclude each other.
    std::string writerLockFile(const std::string& devPath) const override;

    WinUVCMgr& uvcManager() { return *mgr_; }

private:
    bool sendDeviceToHost(uint8_t request, uint16_t value, uint16_t index, uint8_t* data, uint16_t length);
    bool sendHostToDevice(uint8_t request, uint16_t value, uint16_t index, const uint8_t* data, uint16_t length);
    bool getByte(uint8_t selector, uint8_t& byte);

    LoggerSlot logger_;
    std::unique_ptr<WinUVCMgr> mgr_;
    std::string key_;  // of the last successful open
    bool opened_ = false;
    // The writer lock file of the camera at a link (empty for none).
    std::string writerLockFileOfLink(const std::string& symbolicLink) const;

    // Held across each request, a request header and its reply read
    // included, so no other thread or process on the camera takes its reply
    // or overwrites its header.
    std::shared_ptr<std::mutex> exchangeLock_;
    std::string exchangeLockFile_;
};

}  // namespace veltrion
