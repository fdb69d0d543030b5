#pragma once

#include <string>

namespace veltrion {

// Receiver of device arrival and removal, called on the monitor's thread.
class DeviceNotificationCallback {
public:
    virtual void onDeviceArrival(const std::string& devicePath, const std::string& friendlyName) = 0;
    virtual void onDeviceRemoval(const std::string& devicePath, const std::string& friendlyName) = 0;
    // The event source closed; no more notifications will come.
    virtual void onMonitorClose() = 0;

protected:
    ~DeviceNotificationCallback() = default;
};

}  // namespace veltrion
