#include "UdevHotplugPort.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace veltrion {

namespace {

// udevd's control socket: present while udevd runs. Without udevd (a
// container, a CI runner) libudev's "udev" monitor joins no group and
// receives nothing, so the kernel's own uevents are read instead; a kernel
// monitor needs no privilege to receive.
constexpr const char* kUdevControl = "/run/udev/control";
constexpr const char* kSourceUdev = "udev";
constexpr const char* kSourceKernel = "kernel";
constexpr const char* kSubsystemUsb = "usb";
constexpr const char* kDevtypeUsbDevice = "usb_device";
constexpr const char* kSubsystemVideo = "video4linux";
// Events handled per call at most; the rest wait for the next one.
constexpr int kMaxEventsPerTake = 1024;

const char* chooseSource(UdevHotplugPort::Source source) {
    switch (source) {
        case UdevHotplugPort::Source::Udev: return kSourceUdev;
        case UdevHotplugPort::Source::Kernel: return kSourceKernel;
        case UdevHotplugPort::Source::Automatic: break;
    }
    return ::access(kUdevControl, F_OK) == 0 ? kSourceUdev : kSourceKernel;
}

}  // namespace

std::unique_ptr<UdevHotplugPort> UdevHotplugPort::create(std::string& error, Source source) {
    error.clear();
    UdevContext context(udev_new());
    if (!context) {
        error = std::string("cannot create a udev context: ") + std::strerror(errno);
        return nullptr;
    }
    const char* name = chooseSource(source);
    UdevMonitor monitor(udev_monitor_new_from_netlink(context.get(), name));
    if (!monitor) {
        error = std::string("cannot open the ") + name + " event socket: " + std::strerror(errno);
        return nullptr;
    }
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), kSubsystemUsb, kDevtypeUsbDevice) < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), kSubsystemVideo, nullptr) < 0) {
        error = std::string("cannot filter the ") + name + " events";
        return nullptr;
    }
    if (const int result = udev_monitor_enable_receiving(monitor.get()); result < 0) {
        error = std::string("cannot receive ") + name + " events: " + std::strerror(-result);
        return nullptr;
    }
    std::unique_ptr<UdevHotplugPort> port(new UdevHotplugPort(std::move(context), std::move(monitor), name));
    // After the monitor listens: a device that comes in between is both
    // seeded and announced, never neither.
    port->cache_.seed(port->context_.get());
    return port;
}

UdevHotplugPort::UdevHotplugPort(UdevContext context, UdevMonitor monitor, std::string sourceName)
    : context_(std::move(context)), monitor_(std::move(monitor)), sourceName_(std::move(sourceName)) {}

UdevHotplugPort::~UdevHotplugPort() = default;

int UdevHotplugPort::eventDescriptor() const { return udev_monitor_get_fd(monitor_.get()); }

void UdevHotplugPort::takeEvents(std::vector<HotplugEvent>& events) {
    // The monitor's socket is non-blocking: receiving ends when it is empty.
    for (int taken = 0; taken < kMaxEventsPerTake; ++taken) {
        UdevDevice device(udev_monitor_receive_device(monitor_.get()));
        if (!device) return;
        if (auto event = cache_.translate(device.get())) events.push_back(std::move(*event));
    }
}

}  // namespace veltrion
