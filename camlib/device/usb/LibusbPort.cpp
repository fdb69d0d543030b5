#include "LibusbPort.h"

#include <libusb.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "device/CameraIdentity.h"

namespace veltrion {

namespace {

constexpr const char* kScheme = "usb:";
constexpr const char* kSysfsDevices = "/sys/bus/usb/devices/";
constexpr int kMaxPortDepth = 8;
constexpr const char* kLockFolder = "veltrion";
constexpr const char* kSharedLockFolder = "/run/lock";
constexpr mode_t kLockFolderMode = 0700;

// The "<bus>-<port path>" part of a path, or nothing when the path is not
// one of this port's.
std::optional<std::string> locationOfPath(const std::string& path) {
    const std::string scheme = kScheme;
    if (path.compare(0, scheme.size(), scheme) != 0) return std::nullopt;
    const size_t locationEnd = path.find(':', scheme.size());
    if (locationEnd == std::string::npos || locationEnd == scheme.size()) return std::nullopt;
    const std::string location = path.substr(scheme.size(), locationEnd - scheme.size());
    // Digits, '-' and '.' only: the location becomes part of a file name.
    if (location.find_first_not_of("0123456789-.") != std::string::npos) return std::nullopt;
    return location;
}

// Frees a libusb device list on every path out of a scope.
class DeviceList {
public:
    explicit DeviceList(libusb_context* context) { count_ = libusb_get_device_list(context, &list_); }
    ~DeviceList() {
        if (list_) libusb_free_device_list(list_, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    ssize_t count() const { return count_; }
    libusb_device* operator[](ssize_t i) const { return list_[i]; }

private:
    libusb_device** list_ = nullptr;
    ssize_t count_ = 0;
};

// The kernel's name of the device: bus, then the chain of hub ports.
std::string locationOf(libusb_device* device) {
    uint8_t ports[kMaxPortDepth];
    const int depth = libusb_get_port_numbers(device, ports, kMaxPortDepth);
    std::string location = std::to_string(libusb_get_bus_number(device)) + "-";
    if (depth <= 0) return location + "0";
    for (int i = 0; i < depth; ++i) {
        if (i > 0) location += ".";
        location += std::to_string(ports[i]);
    }
    return location;
}

// The serial number the kernel read at enumeration; needs no access to the
// device node.
std::string sysfsSerial(const std::string& location) {
    std::ifstream file(std::string(kSysfsDevices) + location + "/serial");
    std::string serial;
    if (file) std::getline(file, serial);
    return serial;
}

// Reads the serial string of a device this process has open.
std::string openDeviceSerial(libusb_device_handle* handle, uint8_t index) {
    if (index == 0) return "";
    unsigned char text[256] = {};
    const int length = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text);
    return length > 0 ? std::string(reinterpret_cast<char*>(text), static_cast<size_t>(length)) : "";
}

// Reads the serial string over the wire, for systems without sysfs.
std::string descriptorSerial(libusb_device* device, uint8_t index) {
    if (index == 0) return "";
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) != 0) return "";
    const std::string serial = openDeviceSerial(handle, index);
    libusb_close(handle);
    return serial;
}

class LibusbHandle : public UsbHandle {
public:
    LibusbHandle(std::shared_ptr<libusb_context> context, libusb_device_handle* handle)
        : context_(std::move(context)), handle_(handle) {}
    ~LibusbHandle() override { libusb_close(handle_); }
    LibusbHandle(const LibusbHandle&) = delete;
    LibusbHandle& operator=(const LibusbHandle&) = delete;

    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                        uint16_t length, unsigned timeoutMs) override {
        return libusb_control_transfer(handle_, requestType, request, value, index, data, length, timeoutMs);
    }

private:
    std::shared_ptr<libusb_context> context_;  // outlives the handle
    libusb_device_handle* handle_;
};

}  // namespace

LibusbPort::LibusbPort() {
    libusb_context* context = nullptr;
    initResult_ = libusb_init(&context);
    if (initResult_ == 0) context_.reset(context, libusb_exit);
}

LibusbPort::~LibusbPort() = default;

int LibusbPort::listDevices(std::vector<UsbDeviceEntry>& devices) {
    devices.clear();
    if (!context_) return initResult_ < 0 ? initResult_ : kUsbErrorOther;
    DeviceList list(context_.get());
    if (list.count() < 0) return static_cast<int>(list.count());
    for (ssize_t i = 0; i < list.count(); ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
        const std::string location = locationOf(list[i]);
        std::string serial;
        if (findCameraIdentity(descriptor.idVendor, descriptor.idProduct)) {
            serial = sysfsSerial(location);
            if (serial.empty()) serial = descriptorSerial(list[i], descriptor.iSerialNumber);
        }
        devices.push_back({kScheme + location + ":" + usbPathTail(descriptor.idVendor, descriptor.idProduct, serial),
                           descriptor.idVendor, descriptor.idProduct});
    }
    std::sort(devices.begin(), devices.end(),
              [](const UsbDeviceEntry& a, const UsbDeviceEntry& b) { return a.path < b.path; });
    return 0;
}

std::string LibusbPort::writerLockFile(const std::string& path) const {
    const auto location = locationOfPath(path);
    if (!location) return {};
    // The runtime folder is the user's own; a relative one is invalid and ignored.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        const std::string folder = std::string(runtime) + "/" + kLockFolder;
        if (::mkdir(folder.c_str(), kLockFolderMode) == 0 || errno == EEXIST)
            return folder + "/usb-" + *location + ".lock";
    }
    return std::string(kSharedLockFolder) + "/veltrion-usb-" + *location + ".lock";
}

int LibusbPort::open(const std::string& path, std::unique_ptr<UsbHandle>& handle) {
    handle.reset();
    if (!context_) return initResult_ < 0 ? initResult_ : kUsbErrorOther;
    // "usb:<location>:vid_vvvv&pid_pppp:<serial>"
    const std::string scheme = kScheme;
    if (path.compare(0, scheme.size(), scheme) != 0) return kUsbErrorInvalidParam;
    const size_t locationEnd = path.find(':', scheme.size());
    if (locationEnd == std::string::npos) return kUsbErrorInvalidParam;
    const std::string location = path.substr(scheme.size(), locationEnd - scheme.size());
    unsigned vendorId = 0, productId = 0;
    if (std::sscanf(path.c_str() + locationEnd + 1, "vid_%4x&pid_%4x", &vendorId, &productId) != 2)
        return kUsbErrorInvalidParam;

    DeviceList list(context_.get());
    if (list.count() < 0) return static_cast<int>(list.count());
    for (ssize_t i = 0; i < list.count(); ++i) {
        if (locationOf(list[i]) != location) continue;
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) return kUsbErrorIo;
        // Another device on the same port, e.g. the boot loader instead of the camera.
        if (descriptor.idVendor != vendorId || descriptor.idProduct != productId) return kUsbErrorNoDevice;
        libusb_device_handle* raw = nullptr;
        const int result = libusb_open(list[i], &raw);
        if (result != 0) return result;
        handle = std::make_unique<LibusbHandle>(context_, raw);
        // A camera swapped onto the port is never used under the old path.
        const std::string expectedSerial = serialOfUsbPath(path);
        if (expectedSerial.empty()) return 0;
        std::string serial = sysfsSerial(location);
        if (serial.empty()) serial = openDeviceSerial(raw, descriptor.iSerialNumber);
        if (!serial.empty() && serial != expectedSerial) {
            handle.reset();
            return kUsbErrorOtherSerial;
        }
        return 0;
    }
    return kUsbErrorNoDevice;
}

}  // namespace veltrion
