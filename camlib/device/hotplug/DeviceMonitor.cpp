#include "DeviceMonitor.h"

#include <poll.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/Logger.h"
#include "base/StopSignal.h"

namespace veltrion {

namespace {

constexpr int kPumpIntervalMs = 10;

}  // namespace

void monitorLog(int level, const char* format, ...) {
    if (level != kLogError) return;
    char text[Logger::kBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fputs(text, stdout);
}

DeviceMonitor::DeviceMonitor(DeviceNotificationCallback* callback, std::unique_ptr<HotplugPort> port)
    : callback_(callback) {
    if (!registerUSBDeviceNotification(std::move(port))) {
        monitorLog(kLogError, "DeviceMonitor::init: cannot register for device notification\n");
        throw -1;
    }
    initialized_ = true;
}

DeviceMonitor::~DeviceMonitor() { callback_ = nullptr; }

bool DeviceMonitor::registerUSBDeviceNotification(std::unique_ptr<HotplugPort> port) {
    if (!port) {
        std::string error;
        port = createHotplugPort(error);
        if (!port) {
            monitorLog(kLogError,
                       "DeviceMonitor::registerUSBDeviceNotification: unable to register device notification\n");
            monitorLog(kLogError, "DeviceMonitor::registerUSBDeviceNotification: %s\n", error.c_str());
            return false;
        }
    }
    port_ = std::move(port);
    monitorLog(kLogDetail, "DeviceMonitor::registerUSBDeviceNotification: listening to %s events\n",
               port_->sourceName().c_str());
    return true;
}

bool DeviceMonitor::pumpEvents(const StopSignal& stop, int timeoutMs) {
    pollfd waits[2] = {{stop.descriptor(), POLLIN, 0}, {port_->eventDescriptor(), POLLIN, 0}};
    // A negative descriptor is skipped by poll(); the wait then only paces.
    ::poll(waits, 2, timeoutMs);
    if (stop.requested()) return true;
    if (waits[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
        if (callback_) callback_->onMonitorClose();
        return false;
    }
    pending_.clear();
    port_->takeEvents(pending_);
    for (const auto& event : pending_) {
        monitorLog(kLogDetail, "DeviceMonitor::monitorFunc:processing a message %u\n",
                   static_cast<unsigned>(event.kind));
        handleUSBDeviceNotification(&event, event.kind == HotplugEvent::Kind::Arrival);
    }
    return true;
}

void DeviceMonitor::handleUSBDeviceNotification(const HotplugEvent* event, bool arrival) {
    if (!callback_) return;
    if (!event || event->devicePath.empty()) {
        std::printf("DeviceMonitor::handleUSBDeviceNotification: could not determine device id\n");
        return;
    }
    if (arrival)
        callback_->onDeviceArrival(event->devicePath, event->friendlyName);
    else
        callback_->onDeviceRemoval(event->devicePath, event->friendlyName);
}

void monitorFunc(DeviceNotificationCallback* callback, const StopSignal& stop, std::unique_ptr<HotplugPort> port,
                 const std::function<void()>& listening) {
    std::unique_ptr<DeviceMonitor> monitor;
    try {
        monitor = std::make_unique<DeviceMonitor>(callback, std::move(port));
    } catch (int) {
        if (listening) listening();
        return;  // the init failure is written; no hot-plug for this channel
    }
    if (listening) listening();
    while (!stop.requested()) {
        if (!monitor->pumpEvents(stop, kPumpIntervalMs)) break;
    }
}

}  // namespace veltrion
