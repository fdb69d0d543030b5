#pragma once

// Watches device arrival and removal through a HotplugPort and hands each
// event to a DeviceNotificationCallback. Created and run on a monitor thread
// of its own (runDeviceMonitor).

#include <functional>
#include <memory>
#include <vector>

#include "DeviceNotificationCallback.h"
#include "HotplugPort.h"

namespace veltrion {

class StopSignal;

// The monitor's own log: level 0 lines go to standard output, the rest is dropped.
void monitorLog(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

class DeviceMonitor {
public:
    // Sets up the event source (the platform's when port is null). On failure
    // writes the init line and throws the integer -1.
    explicit DeviceMonitor(DeviceNotificationCallback* callback, std::unique_ptr<HotplugPort> port = nullptr);
    virtual ~DeviceMonitor();
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    bool initialized() const { return initialized_; }
    const HotplugPort& port() const { return *port_; }

    // Waits at most timeoutMs for events or for stop, then delivers what
    // arrived. False when the event source has closed.
    bool pumpEvents(const StopSignal& stop, int timeoutMs);
    void handleUSBDeviceNotification(const HotplugEvent* event, bool arrival);

private:
    bool registerUSBDeviceNotification(std::unique_ptr<HotplugPort> port);

    DeviceNotificationCallback* callback_;
    std::unique_ptr<HotplugPort> port_;
    std::vector<HotplugEvent> pending_;
    bool initialized_ = false;
};

// The monitor thread's body: builds a monitor for the callback and pumps its
// events every 10 ms at most until stop is requested. When the monitor cannot
// be built, the init failure has been written and the thread ends: the
// channel works on without hot-plug. listening (if given) is called once the
// monitor receives events, or has failed to.
void monitorFunc(DeviceNotificationCallback* callback, const StopSignal& stop,
                 std::unique_ptr<HotplugPort> port = nullptr, const std::function<void()>& listening = {});

}  // namespace veltrion
