#include "V4l2Node.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstdlib>

#include "base/ByteLayout.h"
#include "device/UdevHandles.h"
#include "device/usb/UsbPort.h"

namespace veltrion::v4l2 {

namespace {

constexpr const char* kScheme = "v4l:";
constexpr const char* kSubsystemVideo = "video4linux";
constexpr const char* kSubsystemUsb = "usb";
constexpr const char* kDevtypeUsbDevice = "usb_device";
constexpr int kHexBase = 16;
constexpr uint32_t kMaxUsbId = 0xFFFF;

std::optional<uint16_t> hexId(const char* text) {
    if (!text || !*text) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, kHexBase);
    if (errno != 0 || end == text || value > kMaxUsbId) return std::nullopt;
    return static_cast<uint16_t>(value);
}

// The capabilities of the node itself; the device's as a whole when the
// driver does not give them per node.
uint32_t nodeCapabilities(const v4l2_capability& caps) {
    return (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
}

bool isAccessError(int error) { return error == -EACCES || error == -EPERM; }

}  // namespace

bool UsbParent::sameDevice(const UsbParent& other) const {
    return sysName == other.sysName && vendorId == other.vendorId && productId == other.productId &&
           serialKnown == other.serialKnown && serial == other.serial;
}

std::optional<UsbParent> readUsbDevice(udev_device* usbDevice) {
    if (!usbDevice) return std::nullopt;
    const auto vendorId = hexId(udev_device_get_sysattr_value(usbDevice, "idVendor"));
    const auto productId = hexId(udev_device_get_sysattr_value(usbDevice, "idProduct"));
    if (!vendorId || !productId) return std::nullopt;
    UsbParent parent;
    parent.sysPath = udev_device_get_syspath(usbDevice);
    parent.sysName = udev_device_get_sysname(usbDevice);
    parent.vendorId = *vendorId;
    parent.productId = *productId;
    if (const char* serial = udev_device_get_sysattr_value(usbDevice, "serial")) {
        parent.serial = serial;
        parent.serialKnown = true;
    }
    parent.product = udevAttribute(usbDevice, "product");
    return parent;
}

std::optional<UsbParent> usbParentOf(udev_device* node) {
    // The parent belongs to the node; it is not unreferenced here.
    return readUsbDevice(udev_device_get_parent_with_subsystem_devtype(node, kSubsystemUsb, kDevtypeUsbDevice));
}

std::string captureLink(const UsbParent& parent) {
    return kScheme + parent.sysName + ":" + usbPathTail(parent.vendorId, parent.productId, parent.serial);
}

int ioctlRetrying(int fd, unsigned long request, void* argument) {
    int result;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? -errno : 0;
}

int openCaptureNode(udev_device* device, std::optional<CaptureNode>& node) {
    node.reset();
    const char* devNode = udev_device_get_devnode(device);
    if (!devNode) return 0;
    auto parent = usbParentOf(device);
    if (!parent) return 0;
    UniqueFd fd(::open(devNode, O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return -errno;
    v4l2_capability caps{};
    if (const int result = ioctlRetrying(fd.get(), VIDIOC_QUERYCAP, &caps); result < 0) return result;
    if (!(nodeCapabilities(caps) & V4L2_CAP_VIDEO_CAPTURE)) return 0;

    CaptureNode found;
    found.devNode = devNode;
    found.devPath = udev_device_get_devpath(device);
    found.link = captureLink(*parent);
    found.card = *ByteReader(std::span<const uint8_t>(caps.card, sizeof caps.card)).text(0, sizeof caps.card);
    found.parent = std::move(*parent);
    found.fd = std::move(fd);
    node = std::move(found);
    return 0;
}

std::vector<CaptureNode> openCaptureNodes(udev* context, int& refusedError) {
    refusedError = 0;
    std::vector<CaptureNode> nodes;
    UdevEnumerate enumerate(udev_enumerate_new(context));
    if (!enumerate) return nodes;
    udev_enumerate_add_match_subsystem(enumerate.get(), kSubsystemVideo);
    udev_enumerate_scan_devices(enumerate.get());
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        UdevDevice device(udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (!device) continue;  // gone since the scan
        std::optional<CaptureNode> node;
        const int result = openCaptureNode(device.get(), node);
        if (isAccessError(result)) refusedError = result;
        if (node) nodes.push_back(std::move(*node));
    }
    return nodes;
}

}  // namespace veltrion::v4l2
