#pragma once

#include <memory>
#include <string>
#include <vector>

#include "B6Device.h"
#include "base/Logger.h"
#include "usb/UsbPort.h"

namespace veltrion {

// Device-interface classes the vendor channel lists.
enum class DeviceClass { Camera, AnyUsb };

// The vendor channel: vendor control requests to the camera's USB controller
// through a UsbPort. Any request type may be sent; no interface is claimed, so
// the camera's video and audio stay with their kernel drivers.
class WinDevice : public B6Device {
public:
    explicit WinDevice(std::unique_ptr<UsbPort> port);
    ~WinDevice() override;

    bool isSupported() override;
    void setLogger(Logger* logger) override { logger_.set(logger); }
    void setLogLevel(int level) override { logger_->setThreshold(level); }
    bool getVeltrion2DevPaths(std::vector<std::string>& paths) override;
    bool getBrokenVeltrion2DevPaths(std::vector<std::string>& paths) override;
    bool openVeltrion2Dev(const std::string& devPath) override;
    void closeVeltrion2Dev() override;
    void releaseVeltrion2Dev() override { closeVeltrion2Dev(); }
    bool reopenVeltrion2Dev() override;
    bool getDeviceDescriptor(UsbDeviceDescriptor& descriptor) override;
    bool getStringDescriptor(uint8_t index, uint16_t languageId, char* buffer, uint16_t bufferSize) override;
    bool sendUsbControlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                uint8_t* data, uint16_t length) override;
    std::string writerLockFile(const std::string& devPath) const override {
        return port_ ? port_->writerLockFile(devPath) : std::string();
    }

    bool isOpen() const { return handle_ != nullptr; }
    const std::string& devicePath() const { return devPath_; }

    // The count characters after the tag in the path, lower-cased (tag found
    // case-insensitively).
    static bool getStringAfter(size_t count, const std::string& path, const std::string& tag,
                               std::string& output, Logger& logger);

private:
    bool getPathsByGUID(DeviceClass deviceClass, std::vector<std::string>& paths);

    LoggerSlot logger_;
    std::unique_ptr<UsbPort> port_;
    std::unique_ptr<UsbHandle> handle_;  // null while closed
    std::string devPath_;                // path of the last successful open
};

}  // namespace veltrion
