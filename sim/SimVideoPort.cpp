#include "SimVideoPort.h"

#include <algorithm>
#include <cerrno>

#include "Camera.h"
#include "CameraName.h"
#include "Registry.h"
#include "SimError.h"
#include "SimUsbPort.h"
#include "device/usb/UsbPort.h"
#include "device/uvc/VideoControlDescriptors.h"

namespace camsim {

namespace fs = std::filesystem;

namespace {

// An open capture node: calls go to the camera in the enumeration the node
// was opened in.
class SimVideoSource : public veltrion::VideoSource {
public:
    SimVideoSource(std::shared_ptr<Camera> camera, uint64_t enumeration)
        : camera_(std::move(camera)), enumeration_(enumeration) {
        if (findExtensionUnit(veltrion::kVeltrionExtensionUnitGuid, unitId_) == 0) hasUnit_ = true;
    }

    bool isGone() override { return camera_->videoSourceGone(enumeration_); }

    int findExtensionUnit(const veltrion::UnitGuid& guid, uint8_t& unitId) override {
        const std::vector<uint8_t> descriptors = Camera::videoControlDescriptors();
        const auto unit = veltrion::findExtensionUnitDescriptor(descriptors, guid);
        if (!unit) return -ENOENT;
        unitId = unit->unitId;
        return 0;
    }

    int queryExtensionUnit(uint8_t unitId, uint8_t selector, veltrion::XuQuery query, uint8_t* data,
                           uint16_t size) override {
        // A unit the camera does not have has no controls.
        if (!hasUnit_ || unitId != unitId_) return -ENOENT;
        return camera_->extensionUnitQuery(enumeration_, selector, query, data, size);
    }

    int queryControl(veltrion::VideoControlId id, veltrion::VideoControlRange& range) override {
        return camera_->videoControlQuery(enumeration_, id, range);
    }
    int getControl(veltrion::VideoControlId id, int32_t& value) override {
        return camera_->videoControlGet(enumeration_, id, value);
    }
    int setControl(veltrion::VideoControlId id, int32_t value) override {
        return camera_->videoControlSet(enumeration_, id, value);
    }

private:
    std::shared_ptr<Camera> camera_;
    uint64_t enumeration_;
    bool hasUnit_ = false;
    uint8_t unitId_ = 0;
};

}  // namespace

std::string simVideoLink(const std::string& name, const BusView& view) {
    return kSimVideoScheme + name + ":" +
           veltrion::usbPathTail(view.vendorId, view.productId, view.serialHidden ? std::string() : view.serial);
}

SimVideoPort::SimVideoPort(fs::path busDir) : busDir_(std::move(busDir)) {}

int SimVideoPort::listSources(std::vector<veltrion::VideoSourceEntry>& sources) {
    sources.clear();
    std::error_code error;
    if (!fs::is_directory(busDir_, error)) return 0;  // an empty bus
    for (const auto& entry : fs::directory_iterator(busDir_, error)) {
        if (!entry.is_directory(error)) continue;
        try {
            const auto camera = acquireCamera(entry.path());
            const BusView view = camera->busView();
            // A boot loader has no video function.
            if (!view.present || view.bootLoader) continue;
            veltrion::VideoSourceEntry source;
            source.symbolicLink = simVideoLink(camera->name(), view);
            source.friendlyName = view.friendlyName;
            source.serialKnown = !view.serialHidden;
            if (source.serialKnown) source.serial = view.serial;
            sources.push_back(std::move(source));
        } catch (const SimError&) {
            // Not a camera (or one being created or removed): not on the bus.
        }
    }
    std::sort(sources.begin(), sources.end(),
              [](const auto& a, const auto& b) { return a.symbolicLink < b.symbolicLink; });
    return 0;
}

int SimVideoPort::openSource(const std::string& symbolicLink, std::shared_ptr<veltrion::VideoSource>& source) {
    source.reset();
    std::string name;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    if (!parseSimPath(kSimVideoScheme, symbolicLink, name, vendorId, productId) || !isValidCameraName(name))
        return -ENODEV;
    try {
        auto camera = acquireCamera(busDir_ / name);
        uint64_t enumeration = 0;
        const int result =
            camera->openVideoSource(vendorId, productId, veltrion::serialOfUsbPath(symbolicLink), enumeration);
        if (result < 0) return result;
        source = std::make_shared<SimVideoSource>(std::move(camera), enumeration);
        return 0;
    } catch (const SimError&) {
        return -ENODEV;
    }
}

}  // namespace camsim
