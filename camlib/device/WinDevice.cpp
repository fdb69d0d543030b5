#include "WinDevice.h"

#include <algorithm>
#include <cctype>

#include "CameraIdentity.h"
#include "VendorRequests.h"

namespace veltrion {

namespace {

// Interface classes as the listing messages name them.
constexpr const char* kCameraClassGuid = "5E1D27A4-94C3-4B1F-8A6E-3C0B7D92F415";
constexpr const char* kAnyUsbClassGuid = "A5DCBF10-6530-11D2-901F-00C04FB951ED";

constexpr size_t kIdTextLength = 4;
constexpr uint8_t kDirectionIn = 0x80;  // bmRequestType bit 7: device to host

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

WinDevice::WinDevice(std::unique_ptr<UsbPort> port) : port_(std::move(port)) {}

WinDevice::~WinDevice() { closeVeltrion2Dev(); }

bool WinDevice::isSupported() { return port_ != nullptr; }

bool WinDevice::getPathsByGUID(DeviceClass deviceClass, std::vector<std::string>& paths) {
    paths.clear();
    const char* guid = deviceClass == DeviceClass::Camera ? kCameraClassGuid : kAnyUsbClassGuid;
    std::vector<UsbDeviceEntry> devices;
    const int result = port_ ? port_->listDevices(devices) : kUsbErrorNotSupported;
    if (result < 0) {
        logger_->log(kLogError,
                     "getPathsByGUID: invalid handled returned from SetupDiGetClassDevs - hr = %d, Guid = {%s}\n",
                     result, guid);
        return false;
    }
    int member = 0;
    for (const auto& device : devices) {
        if (deviceClass == DeviceClass::Camera && !findCameraIdentity(device.vendorId, device.productId))
            continue;
        paths.push_back(device.path);
        logger_->log(kLogDetail, "getPathsByGUID: %d: DevicePath = %s\n", member, device.path.c_str());
        ++member;
    }
    return !paths.empty();
}

bool WinDevice::getVeltrion2DevPaths(std::vector<std::string>& paths) {
    return getPathsByGUID(DeviceClass::Camera, paths);
}

bool WinDevice::getBrokenVeltrion2DevPaths(std::vector<std::string>& paths) {
    std::vector<std::string> all;
    if (!getPathsByGUID(DeviceClass::AnyUsb, all)) {
        logger_->log(kLogError, "getBrokenVeltrion2DevPaths: failed to get list of generic winusb devices\n");
        return false;
    }
    paths.clear();
    for (const auto& path : all) {
        std::string vid, pid;
        if (!getStringAfter(kIdTextLength, path, "vid_", vid, logger_.get()) ||
            !getStringAfter(kIdTextLength, path, "pid_", pid, logger_.get()))
            continue;
        if (vid == "04b4" && pid == "00f3") paths.push_back(path);
    }
    return !paths.empty();
}

bool WinDevice::getStringAfter(size_t count, const std::string& path, const std::string& tag, std::string& output,
                               Logger& logger) {
    const std::string lowerPath = lowerCase(path);
    const size_t position = lowerPath.find(lowerCase(tag));
    if (position == std::string::npos || lowerPath.size() < position + tag.size() + count) {
        logger.log(kLogDetail, "getStringAfter: no \"%s\" id in matching device %s\n", tag.c_str(), path.c_str());
        return false;
    }
    output = lowerPath.substr(position + tag.size(), count);
    return true;
}

bool WinDevice::openVeltrion2Dev(const std::string& devPath) {
    if (devPath.empty()) {
        logger_->log(kLogError, "openVeltrion2Dev: invalid devPath - empty string\n");
        return false;
    }
    devPath_.clear();
    closeVeltrion2Dev();
    const int result = port_ ? port_->open(devPath, handle_) : kUsbErrorNotSupported;
    if (result == kUsbErrorOtherSerial) {
        closeVeltrion2Dev();
        logger_->log(kLogError,
                     "openVeltrion2Dev: refused dev path %s - the device at its port answers another serial "
                     "number\n",
                     devPath.c_str());
        return false;
    }
    if (result < 0 || !handle_) {
        closeVeltrion2Dev();
        logger_->log(kLogError, "openVeltrion2Dev: failed to create file for dev path %s - hr = %d\n",
                     devPath.c_str(), result < 0 ? result : kUsbErrorOther);
        if (result == kUsbErrorAccess)
            logger_->log(kLogError,
                         "openVeltrion2Dev: no permission - install packaging/70-veltrion.rules into "
                         "/etc/udev/rules.d and re-plug the camera\n");
        return false;
    }
    devPath_ = devPath;
    return true;
}

void WinDevice::closeVeltrion2Dev() { handle_.reset(); }

bool WinDevice::reopenVeltrion2Dev() {
    if (!handle_ || devPath_.empty()) {
        logger_->log(kLogError, "reopenVeltrion2Dev: no device opened before - device = %p, dev path = %p\n",
                     static_cast<void*>(handle_.get()), static_cast<const void*>(devPath_.c_str()));
        return false;
    }
    const std::string path = devPath_;
    closeVeltrion2Dev();
    logger_->log(kLogInfo, "reopenVeltrion2Dev: reopenning dev %s\n", path.c_str());
    return openVeltrion2Dev(path);
}

bool WinDevice::getDeviceDescriptor(UsbDeviceDescriptor& descriptor) {
    if (!handle_) {
        logger_->log(kLogError, "getDeviceDescriptor: no device opened yet\n");
        return false;
    }
    uint8_t bytes[vreq::kDeviceDescriptorSize] = {};
    const int result = handle_->controlTransfer(vreq::kStdTypeIn, vreq::kStdGetDescriptor,
                                                vreq::kDescriptorDevice << 8, 0, bytes, sizeof bytes,
                                                kControlTimeoutMs);
    if (result != vreq::kDeviceDescriptorSize) {
        logger_->log(kLogError, "getDeviceDescriptor: getDeviceDescritor failed - hr = %d, lengthReceived %d\n",
                     result < 0 ? result : 0, result < 0 ? 0 : result);
        return false;
    }
    return decodeDeviceDescriptor(bytes, sizeof bytes, descriptor);
}

bool WinDevice::getStringDescriptor(uint8_t index, uint16_t languageId, char* buffer, uint16_t bufferSize) {
    if (!handle_) {
        logger_->log(kLogError, "getStringDescriptor: no device opened yet\n");
        return false;
    }
    uint8_t bytes[vreq::kStringDescriptorMax] = {};
    const int received = handle_->controlTransfer(vreq::kStdTypeIn, vreq::kStdGetDescriptor,
                                                  static_cast<uint16_t>(vreq::kDescriptorString << 8 | index),
                                                  languageId, bytes, sizeof bytes, kControlTimeoutMs);
    if (received < 0) {
        logger_->log(kLogError, "getStringDescriptor: getStringDescriptor failed - WinUsb_GetDescriptor() failed\n");
        return false;
    }
    // bLength counts only what arrived: a descriptor never reads past the reply.
    const int length = std::min<int>(bytes[0], received);
    if (length < 2) {
        logger_->log(kLogError, "getStringDescriptor: getStringDescriptor failed - invalid string size %d \n", length);
        return false;
    }
    const int characters = (length - 2) / 2;
    if (bufferSize == 0 || characters >= bufferSize) {
        logger_->log(kLogError,
                     "getStringDescriptor: getStringDescriptor failed - buffer size %d less than string size %d \n",
                     bufferSize, characters);
        return false;
    }
    for (int i = 0; i < characters; ++i) buffer[i] = static_cast<char>(bytes[2 + 2 * i]);
    buffer[characters] = '\0';
    return true;
}

bool WinDevice::sendUsbControlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                       uint8_t* data, uint16_t length) {
    if (!handle_) {
        logger_->log(kLogError, "sendUsbControlTransfer: no device opened yet\n");
        return false;
    }
    const int result = handle_->controlTransfer(requestType, request, value, index, data, length, kControlTimeoutMs);
    if (result < 0) {
        logger_->log(kLogError, "sendUsbControlTransfer:  sendUsbControlTransfer failed - WinUsb_ControlTransfer() failed at %d\n",
                     result);
        return false;
    }
    // A reply shorter than asked for would leave the caller reading stale
    // bytes, unless the request's reply means nothing.
    const bool replyIgnored = (requestType & kDirectionIn) && vreq::isReplyIgnored(request, index);
    if (result < length && !replyIgnored) {
        logger_->log(kLogError, "sendUsbControlTransfer:  sendUsbControlTransfer failed - short transfer of %d bytes, %u expected\n",
                     result, static_cast<unsigned>(length));
        return false;
    }
    return true;
}

}  // namespace veltrion
