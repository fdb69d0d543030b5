#include "UVCExtensionUnitManager.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <future>
#include <map>
#include <string_view>

#include "MediaSourceCache.h"
#include "NotificationCB.h"
#include "PropertyCall.h"
#include "base/LibraryThread.h"
#include "device/CameraIdentity.h"
#include "device/hotplug/DeviceMonitor.h"
#include "device/hotplug/HotplugPort.h"

namespace veltrion {

namespace {

constexpr size_t kIdTextLength = 4;
constexpr const char* kCameraVendorText = "3a7c";
constexpr std::array<std::string_view, 7> kConsoleProducts{"0002", "8002", "c002", "d002", "0003", "8003", "e002"};
constexpr std::array<std::string_view, 2> kDesktopOnlyProducts{"4003", "6003"};

// The count characters after the tag, searched and returned in lower case.
bool textAfter(const std::string& text, const std::string& tag, std::string& out) {
    const std::string lower = lowerCaseText(text);
    const size_t at = lower.find(tag);
    if (at == std::string::npos || lower.size() < at + tag.size() + kIdTextLength) return false;
    out = lower.substr(at + tag.size(), kIdTextLength);
    return true;
}

bool isAccepted(const std::string& product, AcceptedProducts products) {
    auto listed = [&](const auto& list) { return std::find(list.begin(), list.end(), product) != list.end(); };
    return listed(kConsoleProducts) || (products == AcceptedProducts::Desktop && listed(kDesktopOnlyProducts));
}

// The USB device place of a capture source: the link's text between its tag
// ("v4l:", "simv:") and the ids, e.g. "1-1.4".
std::string placeOfLink(const std::string& link) {
    const size_t start = link.find(':');
    if (start == std::string::npos) return {};
    const size_t end = link.find(':', start + 1);
    return link.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

// Twins share name and serial, so the plain name-and-serial key cannot tell them
// apart: they are named by place instead. Sources that not even their place
// tells apart are left out, with a line: any action on them could reach the
// other camera.
void giveTwinsTheirPlace(std::vector<CameraSource>& cameras) {
    std::map<std::string, int> byKey, byPlaceKey;
    for (const auto& camera : cameras) {
        ++byKey[camera.key];
        ++byPlaceKey[camera.placeKey];
    }
    std::erase_if(cameras, [&](const CameraSource& camera) {
        if (byPlaceKey[camera.placeKey] == 1) return false;
        std::printf("two capture sources of %s on one place %s: camera left out\n", camera.key.c_str(),
                    placeOfLink(camera.symbolicLink).c_str());
        return true;
    });
    for (auto& camera : cameras)
        if (byKey[camera.key] > 1) camera.key = camera.placeKey;
}

}  // namespace

UVCExtensionUnitManager::UVCExtensionUnitManager(std::unique_ptr<VideoPort> port, AcceptedProducts products,
                                                 bool hotplug, std::unique_ptr<HotplugPort> hotplugPort)
    : port_(std::move(port)), products_(products) {
    if (!hotplug) return;
    std::promise<void> listening;
    std::future<void> started = listening.get_future();
    monitorThread_ = startLibraryThread(
        [this, hotplugPort = std::move(hotplugPort), listening = std::move(listening)]() mutable {
            NotificationCB callback(shutdownWorker_);
            monitorFunc(&callback, stop_, std::move(hotplugPort), [&listening] { listening.set_value(); });
        });
    // The monitor's event source only sees what happens after it is set up:
    // without this wait, a camera pulled out just after the manager is made
    // would keep its dead source. (A thread that ends without setting the
    // value breaks the promise, which ends the wait too.)
    started.wait();
}

UVCExtensionUnitManager::~UVCExtensionUnitManager() {
    stop_.request();
    if (monitorThread_.joinable()) monitorThread_.join();
    for (const auto& link : openedLinks_) shutDownMediaSource(link);
    openedLinks_.clear();
}

bool UVCExtensionUnitManager::getVeltrionNameAndSerial(const VideoSourceEntry& entry, AcceptedProducts products,
                                                       CameraSource& camera) {
    std::string vendor, product;
    if (!textAfter(entry.symbolicLink, "vid_", vendor) || !textAfter(entry.symbolicLink, "pid_", product))
        return false;
    if (vendor != kCameraVendorText) return false;
    if (!isAccepted(product, products)) {
        std::printf("Vemto vendor id %s with invalid pid %s\n", vendor.c_str(), product.c_str());
        return false;
    }
    if (!entry.serialKnown) {
        std::printf("failed to get serial number for Veltrion device\n");
        return false;
    }
    camera.friendlyName = entry.friendlyName;
    camera.serial = entry.serial;
    camera.symbolicLink = entry.symbolicLink;
    camera.vendorId = hexToUint16(vendor);
    camera.productId = hexToUint16(product);
    camera.key = entry.friendlyName + "__" + entry.serial;
    camera.placeKey = camera.key + "@" + placeOfLink(entry.symbolicLink);
    return true;
}

std::vector<CameraSource> UVCExtensionUnitManager::camerasOf(const std::vector<VideoSourceEntry>& sources) const {
    std::vector<CameraSource> cameras;
    for (const auto& entry : sources) {
        CameraSource camera;
        if (getVeltrionNameAndSerial(entry, products_, camera)) cameras.push_back(std::move(camera));
    }
    giveTwinsTheirPlace(cameras);
    return cameras;
}

bool UVCExtensionUnitManager::findCamera(const std::vector<CameraSource>& cameras, const std::string& key,
                                         CameraSource& camera) {
    const auto match = std::find_if(cameras.begin(), cameras.end(), [&](const CameraSource& candidate) {
        return candidate.key == key || candidate.placeKey == key;
    });
    if (match == cameras.end()) return false;
    camera = *match;
    return true;
}

bool UVCExtensionUnitManager::enumerateCameras(std::vector<CameraSource>& cameras) {
    cameras.clear();
    std::vector<VideoSourceEntry> sources;
    if (port_->listSources(sources) < 0 || sources.empty()) return false;
    cameras = camerasOf(sources);
    return !cameras.empty();
}

bool UVCExtensionUnitManager::enumerateDevices(std::vector<std::string>& keys) {
    keys.clear();
    std::vector<CameraSource> cameras;
    enumerateCameras(cameras);
    for (auto& camera : cameras) keys.push_back(std::move(camera.key));
    return !keys.empty();
}

std::shared_ptr<EUHandle> UVCExtensionUnitManager::openExtensionUnit(const UnitGuid& guid, const std::string& key) {
    std::vector<VideoSourceEntry> sources;
    if (port_->listSources(sources) < 0 || sources.empty()) {
        std::printf("enumerateSources failed\n");
        return nullptr;
    }
    CameraSource camera;
    if (!findCamera(camerasOf(sources), key, camera)) {
        std::printf("No device with friendly name %s found\n", key.c_str());
        return nullptr;
    }
    if (camera.symbolicLink.empty()) {
        std::printf("No device ID with name %s found\n", key.c_str());
        return nullptr;
    }
    auto source = MediaSourceCache::instance().acquire(*port_, key, camera.symbolicLink);
    if (!source) {
        std::printf("Failed to get Media Source for the device %s\n", key.c_str());
        return nullptr;
    }
    uint8_t unitId = 0;
    if (const int result = source->findExtensionUnit(guid, unitId); result < 0) {
        std::printf("Unable to find extension node : %x\n", static_cast<unsigned>(result));
        std::printf("failed to find or open EU\n");
        source.reset();
        shutDownMediaSource(camera.symbolicLink);
        return nullptr;
    }
    auto handle = std::make_shared<EUHandle>();
    handle->guid = guid;
    handle->unitId = unitId;
    handle->source = std::move(source);
    handle->symbolicLink = camera.symbolicLink;
    handle->serial = camera.serial;
    handle->friendlyName = camera.friendlyName;
    handle->vendorId = camera.vendorId;
    handle->productId = camera.productId;
    if (std::find(openedLinks_.begin(), openedLinks_.end(), camera.symbolicLink) == openedLinks_.end())
        openedLinks_.push_back(camera.symbolicLink);
    return handle;
}

int UVCExtensionUnitManager::propertyCall(const std::shared_ptr<EUHandle>& handle, uint8_t selector, bool isSet,
                                          uint8_t* buffer, uint32_t size) {
    if (!handle) {
        std::printf("invalid handle\n");
        return kPropertyInvalidHandle;
    }
    if (!handle->source) {
        std::printf("invalid control ptr\n");
        return kPropertyInvalidPointer;
    }
    // A removed camera's source was shut down: its handle is dead until reopened.
    if (!MediaSourceCache::instance().holds(handle->symbolicLink, handle->source.get())) {
        std::printf("Invalid handle\n");
        return kPropertyFailed;
    }
    return callExtensionUnitProperty(handle, selector, isSet ? PropertyDirection::Set : PropertyDirection::Get,
                                     buffer, size);
}

int UVCExtensionUnitManager::getProperty(const std::shared_ptr<EUHandle>& handle, uint8_t selector, uint8_t* buffer,
                                         uint32_t size) {
    return propertyCall(handle, selector, false, buffer, size);
}

int UVCExtensionUnitManager::setProperty(const std::shared_ptr<EUHandle>& handle, uint8_t selector, uint8_t* buffer,
                                         uint32_t size) {
    return propertyCall(handle, selector, true, buffer, size);
}

}  // namespace veltrion
