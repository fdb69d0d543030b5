#include "SimUsbPort.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Camera.h"
#include "CameraFolder.h"
#include "CameraName.h"
#include "Registry.h"
#include "SimError.h"

namespace camsim {

namespace fs = std::filesystem;

namespace {

constexpr const char* kVendorTag = "vid_";
constexpr const char* kProductTag = "&pid_";
constexpr size_t kIdDigits = 4;

// A handle forwards transfers to the shared camera; it dies with the
// enumeration it was opened in.
class SimUsbHandle : public veltrion::UsbHandle {
public:
    SimUsbHandle(std::shared_ptr<Camera> camera, uint64_t enumeration)
        : camera_(std::move(camera)), enumeration_(enumeration) {}

    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                        uint16_t length, unsigned timeoutMs) override {
        (void)timeoutMs;  // the camera answers or stalls; it never leaves a transfer hanging
        return camera_->transfer(enumeration_, {requestType, request, value, index, length}, data);
    }

private:
    std::shared_ptr<Camera> camera_;
    uint64_t enumeration_;
};

bool parseHexId(const std::string& text, uint16_t& value) {
    if (text.size() != kIdDigits ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; }))
        return false;
    value = static_cast<uint16_t>(std::strtoul(text.c_str(), nullptr, 16));
    return true;
}

}  // namespace

std::string simDevicePath(const std::string& name, uint16_t vendorId, uint16_t productId, const std::string& serial) {
    return kSimPathScheme + name + ":" + veltrion::usbPathTail(vendorId, productId, serial);
}

bool parseSimDevicePath(const std::string& path, std::string& name, uint16_t& vendorId, uint16_t& productId) {
    return parseSimPath(kSimPathScheme, path, name, vendorId, productId);
}

bool parseSimPath(const std::string& scheme, const std::string& path, std::string& name, uint16_t& vendorId,
                  uint16_t& productId) {
    if (path.compare(0, scheme.size(), scheme) != 0) return false;
    const size_t nameEnd = path.find(':', scheme.size());
    if (nameEnd == std::string::npos || nameEnd == scheme.size()) return false;
    name = path.substr(scheme.size(), nameEnd - scheme.size());
    const std::string ids = path.substr(nameEnd + 1);
    const std::string vendorTag = kVendorTag;
    const std::string productTag = kProductTag;
    if (ids.compare(0, vendorTag.size(), vendorTag) != 0) return false;
    const size_t productAt = vendorTag.size() + kIdDigits;
    if (ids.compare(productAt, productTag.size(), productTag) != 0) return false;
    return parseHexId(ids.substr(vendorTag.size(), kIdDigits), vendorId) &&
           parseHexId(ids.substr(productAt + productTag.size(), kIdDigits), productId);
}

SimUsbPort::SimUsbPort(fs::path busDir) : busDir_(std::move(busDir)) {}

int SimUsbPort::listDevices(std::vector<veltrion::UsbDeviceEntry>& devices) {
    devices.clear();
    std::error_code error;
    if (!fs::is_directory(busDir_, error)) return 0;  // an empty bus
    for (const auto& entry : fs::directory_iterator(busDir_, error)) {
        if (!entry.is_directory(error)) continue;
        try {
            const auto camera = acquireCamera(entry.path());
            const BusView view = camera->busView();
            if (!view.present) continue;
            devices.push_back({simDevicePath(camera->name(), view.vendorId, view.productId, view.serial),
                               view.vendorId, view.productId});
        } catch (const SimError&) {
            // Not a camera (or one being created or removed): not on the bus.
        }
    }
    std::sort(devices.begin(), devices.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    return 0;
}

std::string SimUsbPort::writerLockFile(const std::string& path) const {
    std::string name;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    if (!parseSimDevicePath(path, name, vendorId, productId) || !isValidCameraName(name)) return {};
    const CameraFolder folder(busDir_ / name);
    return folder.exists() ? folder.writerLockFile().string() : std::string();
}

int SimUsbPort::open(const std::string& path, std::unique_ptr<veltrion::UsbHandle>& handle) {
    handle.reset();
    std::string name;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    if (!parseSimDevicePath(path, name, vendorId, productId) || !isValidCameraName(name))
        return veltrion::kUsbErrorNoDevice;
    try {
        auto camera = acquireCamera(busDir_ / name);
        // Another camera put in this one's place answers another serial.
        const std::string expectedSerial = veltrion::serialOfUsbPath(path);
        if (const BusView view = camera->busView();
            !expectedSerial.empty() && !view.serial.empty() && view.serial != expectedSerial)
            return veltrion::kUsbErrorOtherSerial;
        uint64_t enumeration = 0;
        const int result = camera->openHandle(vendorId, productId, enumeration);
        if (result < 0) return result;
        handle = std::make_unique<SimUsbHandle>(std::move(camera), enumeration);
        return 0;
    } catch (const SimError&) {
        return veltrion::kUsbErrorNoDevice;
    }
}

}  // namespace camsim
