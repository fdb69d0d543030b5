#pragma once

#include "SourceShutdownWorker.h"
#include "device/hotplug/DeviceNotificationCallback.h"

namespace veltrion {

// The UVC channel's hot-plug receiver: a removed device's capture source is
// shut down (when one is cached under its path), on the channel's worker.
class NotificationCB : public DeviceNotificationCallback {
public:
    explicit NotificationCB(SourceShutdownWorker& worker) : worker_(worker) {}

    void onDeviceArrival(const std::string&, const std::string&) override {}
    void onDeviceRemoval(const std::string& devicePath, const std::string&) override {
        worker_.shutDownLater(devicePath);
    }
    void onMonitorClose() override {}

private:
    SourceShutdownWorker& worker_;
};

}  // namespace veltrion
