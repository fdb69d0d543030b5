#pragma once

// Turns the uevents of USB devices and video nodes into hot-plug events. At
// "remove" a device's sysfs entry is gone, so what names it is remembered
// when it is first seen: at start-up for what is present, then at each "add".
//
// A capture node's removal carries its capture-source link. A video node
// never seen is dropped at removal: it could be a metadata node, and a node
// that could not be asked at "add" was never listed as a source either. A
// USB device never seen still yields a removal, with the ids of its uevent
// (PRODUCT) and no serial.

#include <libudev.h>

#include <map>
#include <optional>
#include <string>

#include "HotplugPort.h"

namespace veltrion {

class DeviceIdentityCache {
public:
    // Remembers every capture node and USB device present.
    void seed(udev* context);

    // The event of one uevent, or nothing when it is none of ours.
    std::optional<HotplugEvent> translate(udev_device* device);

private:
    struct Known {
        bool reported = false;  // false: a video node that is not a capture node
        std::string path;
        std::string friendlyName;
    };

    std::optional<HotplugEvent> videoAdded(udev_device* device);
    std::optional<HotplugEvent> usbAdded(udev_device* device);
    std::optional<HotplugEvent> removed(udev_device* device, bool video);
    // A USB device's event from its uevent's ids alone (no serial, no name).
    static std::optional<HotplugEvent> usbFromUevent(udev_device* device, HotplugEvent::Kind kind);
    Known rememberVideo(udev_device* device);
    std::optional<Known> rememberUsb(udev_device* device);

    std::map<std::string, Known> videoNodes_;  // by devpath
    std::map<std::string, Known> usbDevices_;  // by devpath
};

}  // namespace veltrion
