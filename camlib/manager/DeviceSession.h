#pragma once

#include <string>

#include "device/B6Device.h"

namespace veltrion {

// Opens a camera for the length of one operation and closes it on every path
// out of it, unless the camera was released (it is leaving the bus).
class DeviceSession {
public:
    DeviceSession(B6Device& device, const std::string& devPath)
        : device_(device), open_(device.openVeltrion2Dev(devPath)) {}
    ~DeviceSession() {
        if (open_) device_.closeVeltrion2Dev();
    }
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    bool isOpen() const { return open_; }
    // The camera was told to reset itself: release instead of close.
    void release() {
        if (open_) device_.releaseVeltrion2Dev();
        open_ = false;
    }
    void close() {
        if (open_) device_.closeVeltrion2Dev();
        open_ = false;
    }

private:
    B6Device& device_;
    bool open_;
};

}  // namespace veltrion
