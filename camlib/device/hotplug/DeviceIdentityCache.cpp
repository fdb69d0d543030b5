#include "DeviceIdentityCache.h"

#include <cstdio>
#include <cstring>

#include "device/CameraIdentity.h"
#include "device/UdevHandles.h"
#include "device/usb/UsbPort.h"
#include "device/uvc/V4l2Node.h"

namespace veltrion {

namespace {

constexpr const char* kUsbScheme = "usb:";
constexpr const char* kSubsystemVideo = "video4linux";
constexpr const char* kSubsystemUsb = "usb";
constexpr const char* kDevtypeUsbDevice = "usb_device";
constexpr const char* kActionAdd = "add";
constexpr const char* kActionRemove = "remove";
// "vvvv/pppp/dddd" in hex without leading zeros, in every usb_device uevent.
constexpr const char* kProductProperty = "PRODUCT";
constexpr unsigned kMaxUsbId = 0xFFFF;

bool equals(const char* text, const char* expected) { return text && std::strcmp(text, expected) == 0; }

// The vendor channel's path of a USB device: the serial only for cameras of
// the line, as the USB port lists them.
std::string usbPath(const std::string& sysName, uint16_t vendorId, uint16_t productId, const std::string& serial) {
    const bool ours = findCameraIdentity(vendorId, productId) != nullptr;
    return kUsbScheme + sysName + ":" + usbPathTail(vendorId, productId, ours ? serial : "");
}

}  // namespace

void DeviceIdentityCache::seed(udev* context) {
    int refused = 0;
    for (const auto& node : v4l2::openCaptureNodes(context, refused))
        videoNodes_[node.devPath] = Known{true, node.link, node.card};

    UdevEnumerate enumerate(udev_enumerate_new(context));
    if (!enumerate) return;
    udev_enumerate_add_match_subsystem(enumerate.get(), kSubsystemUsb);
    udev_enumerate_add_match_property(enumerate.get(), "DEVTYPE", kDevtypeUsbDevice);
    udev_enumerate_scan_devices(enumerate.get());
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        UdevDevice device(udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (device) rememberUsb(device.get());
    }
}

std::optional<HotplugEvent> DeviceIdentityCache::translate(udev_device* device) {
    const char* action = udev_device_get_action(device);
    const char* subsystem = udev_device_get_subsystem(device);
    const bool video = equals(subsystem, kSubsystemVideo);
    const bool usb = equals(subsystem, kSubsystemUsb) && equals(udev_device_get_devtype(device), kDevtypeUsbDevice);
    if (!video && !usb) return std::nullopt;
    if (equals(action, kActionAdd)) return video ? videoAdded(device) : usbAdded(device);
    if (equals(action, kActionRemove)) return removed(device, video);
    return std::nullopt;  // change, bind, unbind: the device stays what it was
}

DeviceIdentityCache::Known DeviceIdentityCache::rememberVideo(udev_device* device) {
    std::optional<v4l2::CaptureNode> node;
    v4l2::openCaptureNode(device, node);
    Known known;
    if (node) known = Known{true, node->link, node->card};
    videoNodes_[udev_device_get_devpath(device)] = known;
    return known;
}

std::optional<DeviceIdentityCache::Known> DeviceIdentityCache::rememberUsb(udev_device* device) {
    const auto identity = v4l2::readUsbDevice(device);
    if (!identity) return std::nullopt;
    Known known{true, usbPath(identity->sysName, identity->vendorId, identity->productId, identity->serial),
                identity->product};
    usbDevices_[udev_device_get_devpath(device)] = known;
    return known;
}

std::optional<HotplugEvent> DeviceIdentityCache::videoAdded(udev_device* device) {
    // A node that cannot be opened or asked is not a source anyone can list.
    const Known known = rememberVideo(device);
    if (!known.reported) return std::nullopt;
    return HotplugEvent{HotplugEvent::Kind::Arrival, known.path, known.friendlyName};
}

std::optional<HotplugEvent> DeviceIdentityCache::usbAdded(udev_device* device) {
    auto known = rememberUsb(device);
    if (!known) {
        // Its sysfs entry is gone already: what the uevent itself says.
        return usbFromUevent(device, HotplugEvent::Kind::Arrival);
    }
    return HotplugEvent{HotplugEvent::Kind::Arrival, known->path, known->friendlyName};
}

std::optional<HotplugEvent> DeviceIdentityCache::removed(udev_device* device, bool video) {
    auto& cache = video ? videoNodes_ : usbDevices_;
    const auto found = cache.find(udev_device_get_devpath(device));
    if (found == cache.end()) return video ? std::nullopt : usbFromUevent(device, HotplugEvent::Kind::Removal);
    const Known known = found->second;
    cache.erase(found);
    if (!known.reported) return std::nullopt;
    return HotplugEvent{HotplugEvent::Kind::Removal, known.path, known.friendlyName};
}

std::optional<HotplugEvent> DeviceIdentityCache::usbFromUevent(udev_device* device, HotplugEvent::Kind kind) {
    const char* product = udev_device_get_property_value(device, kProductProperty);
    unsigned vendorId = 0, productId = 0;
    if (!product || std::sscanf(product, "%x/%x/", &vendorId, &productId) != 2 || vendorId > kMaxUsbId ||
        productId > kMaxUsbId)
        return std::nullopt;
    return HotplugEvent{kind,
                        usbPath(udev_device_get_sysname(device), static_cast<uint16_t>(vendorId),
                                static_cast<uint16_t>(productId), ""),
                        ""};
}

}  // namespace veltrion
