#pragma once

// What the real video port and the hot-plug monitor both need to know about a
// video4linux node: whether it is a camera's capture node (metadata nodes of
// the same camera are not), its card name, and the USB device it belongs to,
// which names it in the capture-source link.

#include <libudev.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/UniqueFd.h"

namespace veltrion::v4l2 {

// The USB device (usb_device) a node hangs off, as sysfs shows it.
struct UsbParent {
    std::string sysPath;
    std::string sysName;  // the kernel's name, e.g. "1-1.4"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    bool serialKnown = false;
    std::string product;  // empty when the device gives none

    // Whether both stand for the same device on the same port.
    bool sameDevice(const UsbParent& other) const;
};

// Reads a usb_device's identity; nothing when its ids cannot be read.
std::optional<UsbParent> readUsbDevice(udev_device* usbDevice);
// The usb_device above a node; nothing when the node has none.
std::optional<UsbParent> usbParentOf(udev_device* node);

// "v4l:<usb sysname>:vid_vvvv&pid_pppp:<serial>"
std::string captureLink(const UsbParent& parent);

// ioctl that retries when a signal interrupts it: 0 or -errno.
int ioctlRetrying(int fd, unsigned long request, void* argument);

// A capture node, opened read-write.
struct CaptureNode {
    std::string devNode;  // /dev/videoN
    std::string devPath;  // the node's devpath, the key of its uevents
    std::string link;
    std::string card;
    UsbParent parent;
    UniqueFd fd;
};

// Opens a video4linux device and tells whether it is a capture node with a
// USB parent. Returns 0 with the node, 0 without one (not a capture node, no
// USB parent), or -errno when it cannot be opened or asked.
int openCaptureNode(udev_device* device, std::optional<CaptureNode>& node);

// Every capture node present, open. refusedError is the -errno of the last
// node that could not be opened for lack of access (0 when none).
std::vector<CaptureNode> openCaptureNodes(udev* context, int& refusedError);

}  // namespace veltrion::v4l2
