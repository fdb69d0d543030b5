#include "UsbBridge.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <stdexcept>

#include "Bus.h"
#include "Camera.h"
#include "Preload.h"
#include "Registry.h"
#include "SimUsbPort.h"
#include "TestbedRoots.h"
#include "device/CameraIdentity.h"

namespace veltrion::realports {

namespace {

constexpr int kBus = 1;
constexpr int kFirstDeviceNumber = 2;  // after the root hub
// umockdev cannot make a /dev node under a name it has used before, so device
// numbers are never reused within a bridge's life. The kernel wraps at 127;
// libusb reads numbers up to 255 and names the node with them, which gives a
// bridge twice the enumerations a real bus would before the numbers run out.
constexpr int kLastDeviceNumber = 255;
constexpr int kRootHubPort = 0;
constexpr int kRootHubDeviceNumber = 1;
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr auto kReleasePollInterval = std::chrono::milliseconds(2);
constexpr const char* kUsbScheme = "usb:";
constexpr const char* kVideoScheme = "v4l:";
constexpr int kVideoNodesPerCamera = 2;  // capture and metadata

uint64_t bootsOf(camsim::Camera& camera) {
    const camsim::Counters counters = camera.snapshot().counters;
    return counters.resets + counters.powerCycles;
}

std::string ownedText(gchar* text) {
    std::string copy = text ? text : "";
    g_free(text);
    return copy;
}

}  // namespace

UsbBridge::UsbBridge(std::filesystem::path busDir)
    : busDir_(std::move(busDir)),
      bus_(std::make_unique<camsim::Bus>(busDir_)),
      port_(std::make_unique<camsim::SimUsbPort>(busDir_)) {
    requirePreload();
    sweepAbandonedTestbeds();
    handler_ = std::make_unique<UsbfsHandler>(static_cast<NodeDirectory&>(*this), *port_);
    videoHandler_ = std::make_unique<VideoHandler>(static_cast<VideoNodeDirectory&>(*this));
    testbed_.reset(umockdev_testbed_new());
    rootDir_ = ownedText(umockdev_testbed_get_root_dir(testbed_.get()));
    claimTestbedRoot(rootDir_);
    {
        std::lock_guard lock(mutex_);
        addRecordLocked(BusPlace{kBus, kRootHubPort, kRootHubDeviceNumber}, rootHub(), false);
        syncLocked();
    }
    poller_ = std::jthread([this](std::stop_token stop) { pollUntilStopped(stop); });
}

UsbBridge::~UsbBridge() {
    poller_.request_stop();
    if (poller_.joinable()) poller_.join();
    videoHandler_->stop();
    testbed_.reset();  // removes its root folder
    std::error_code ignored;
    std::filesystem::remove_all(rootDir_, ignored);
}

void UsbBridge::sync() {
    std::lock_guard lock(mutex_);
    syncLocked();
}

std::optional<BridgedDevice> UsbBridge::device(const std::string& camera) const {
    std::lock_guard lock(mutex_);
    const auto found = attached_.find(camera);
    if (found == attached_.end()) return std::nullopt;
    return found->second.device;
}

std::vector<BridgedDevice> UsbBridge::devices() const {
    std::lock_guard lock(mutex_);
    std::vector<BridgedDevice> out;
    for (const auto& [name, attached] : attached_) out.push_back(attached.device);
    return out;
}

bool UsbBridge::waitForClosedClients(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (handler_->releaseClosedClients() + videoHandler_->releaseClosedClients() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kReleasePollInterval);
    }
    return true;
}

bool UsbBridge::sameEnumeration(const Attached& attached, uint16_t vendorId, uint16_t productId) {
    return attached.device.vendorId == vendorId && attached.device.productId == productId &&
           attached.camera->enumeration() == attached.enumeration && bootsOf(*attached.camera) == attached.boots;
}

void UsbBridge::syncLocked() {
    std::map<std::string, camsim::CameraListing> present;
    for (auto& camera : bus_->list())
        if (camera.present) present.emplace(camera.name, camera);

    for (auto it = attached_.begin(); it != attached_.end();) {
        const auto found = present.find(it->first);
        if (found != present.end() && sameEnumeration(it->second, found->second.vendorId, found->second.productId)) {
            ++it;
            continue;
        }
        detachLocked(it->second);
        it = attached_.erase(it);
    }
    for (const auto& [name, camera] : present)
        if (!attached_.contains(name)) attachLocked(name, camera.path);
}

void UsbBridge::attachLocked(const std::string& camera, const std::string& simPath) {
    auto live = camsim::acquireCamera(busDir_ / camera);
    // Taken before the descriptors are read: a departure in between shows at
    // the next sync.
    const uint64_t enumeration = live->enumeration();
    const uint64_t boots = bootsOf(*live);
    const camsim::BusView view = live->busView();
    std::unique_ptr<UsbHandle> handle;
    EnumeratedDevice enumerated;
    if (port_->open(simPath, handle) < 0 || enumerateDevice(*handle, enumerated) < 0) return;  // gone again
    handle.reset();

    Attached attached;
    attached.place = BusPlace{kBus, portFor(camera), nextDeviceNumber()};
    lastDeviceNumber_ = attached.place.deviceNumber;
    attached.generation = ++lastGeneration_;
    attached.camera = std::move(live);
    attached.enumeration = enumeration;
    attached.boots = boots;
    BridgedDevice& device = attached.device;
    device.camera = camera;
    device.simPath = simPath;
    device.sysName = attached.place.sysName();
    device.devNode = attached.place.devNode();
    device.deviceNumber = attached.place.deviceNumber;
    device.vendorId = enumerated.vendorId();
    device.productId = enumerated.productId();
    // The serial is part of the path for cameras of the line only.
    device.usbPath = kUsbScheme + device.sysName + ":" +
                     usbPathTail(device.vendorId, device.productId,
                                 findCameraIdentity(device.vendorId, device.productId) ? enumerated.serial : "");

    if (!view.bootLoader) {
        attached.video = VideoPlace{attached.place, nextVideoIndex_};
        nextVideoIndex_ += kVideoNodesPerCamera;
        attached.card = view.friendlyName;
        attached.videoSerial = view.serialHidden ? std::string() : view.serial;
        device.videoNode = VideoPlace::devNode(attached.video->captureIndex);
        device.metadataNode = VideoPlace::devNode(attached.video->metadataIndex());
        device.videoLink = kVideoScheme + device.sysName + ":" +
                           usbPathTail(device.vendorId, device.productId, attached.videoSerial);
    }

    // A camera whose serial the video stack cannot learn: the kernel read no
    // serial at enumeration, so sysfs has none (the vendor channel still asks
    // the device for its string).
    EnumeratedDevice shown = enumerated;
    if (attached.video && attached.videoSerial.empty()) shown.serial.clear();
    addRecordLocked(attached.place, shown, true);
    // The kernel announces the interface's nodes once the device is there.
    if (attached.video) addVideoLocked(attached);
    attached_.emplace(camera, std::move(attached));
}

void UsbBridge::detachLocked(const Attached& attached) {
    // The kernel announces the removal while the device's sysfs entry still
    // exists; umockdev's removal itself announces nothing.
    if (attached.video) removeVideoLocked(*attached.video);
    const std::string sysPath = attached.place.sysPath();
    umockdev_testbed_uevent(testbed_.get(), sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_.get(), sysPath.c_str());
}

void UsbBridge::addRecordLocked(const BusPlace& place, const EnumeratedDevice& device, bool withHandler) {
    if (withHandler) attachHandlerLocked(place.devNode(), handler_->object());
    addFromStringLocked(testbedRecord(place, device), place.sysName());
}

void UsbBridge::addVideoLocked(const Attached& attached) {
    const VideoPlace& place = *attached.video;
    for (int index : {place.captureIndex, place.metadataIndex()})
        attachHandlerLocked(VideoPlace::devNode(index), videoHandler_->object());
    addFromStringLocked(videoTestbedRecord(place, attached.card), place.interfaceSysPath());
}

void UsbBridge::removeVideoLocked(const VideoPlace& place) {
    // Children first: umockdev removes only the links of the device it is
    // given, and the kernel announces the nodes before their device.
    for (const std::string& path :
         {place.nodeSysPath(place.captureIndex), place.nodeSysPath(place.metadataIndex()), place.interfaceSysPath()}) {
        umockdev_testbed_uevent(testbed_.get(), path.c_str(), "remove");
        umockdev_testbed_remove_device(testbed_.get(), path.c_str());
    }
}

void UsbBridge::attachHandlerLocked(const std::string& node, UMockdevIoctlBase* handler) {
    // The handler goes on before the device appears, or the node's first
    // opener could miss it. Clients of an earlier device under the same
    // number keep their connection.
    GError* error = nullptr;
    if (handledNodes_.contains(node)) umockdev_testbed_detach_ioctl(testbed_.get(), node.c_str(), nullptr);
    if (!umockdev_testbed_attach_ioctl(testbed_.get(), node.c_str(), handler, &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot handle ioctls on " + node + ": " + message);
    }
    handledNodes_.insert(node);
}

void UsbBridge::addFromStringLocked(const std::string& record, const std::string& what) {
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_.get(), record.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot add " + what + " to the testbed: " + message);
    }
}

int UsbBridge::portFor(const std::string& camera) {
    if (const auto found = ports_.find(camera); found != ports_.end()) return found->second;
    int port = 1;
    while (std::any_of(ports_.begin(), ports_.end(), [port](const auto& entry) { return entry.second == port; }))
        ++port;
    ports_[camera] = port;
    return port;
}

int UsbBridge::nextDeviceNumber() const {
    // Addresses go up with every enumeration and never wrap (see kLastDeviceNumber).
    if (lastDeviceNumber_ >= kLastDeviceNumber)
        throw DeviceNumbersExhausted("the bridged bus has used every device number (" + std::to_string(kFirstDeviceNumber) +
                                 ".." + std::to_string(kLastDeviceNumber) +
                                 ") and umockdev cannot reuse a /dev node name: no further enumeration in this "
                                 "bridge's life (start a new bridge)");
    return lastDeviceNumber_ + 1;
}

std::optional<NodeBinding> UsbBridge::bind(const std::string& devNode) {
    std::lock_guard lock(mutex_);
    for (const auto& [name, attached] : attached_)
        if (attached.device.devNode == devNode) return NodeBinding{attached.device.simPath, attached.generation};
    return std::nullopt;
}

bool UsbBridge::current(const std::string& devNode, uint64_t generation) {
    std::lock_guard lock(mutex_);
    return std::any_of(attached_.begin(), attached_.end(), [&](const auto& entry) {
        return entry.second.device.devNode == devNode && entry.second.generation == generation;
    });
}

void UsbBridge::transferred(const std::string& devNode, int result) {
    std::lock_guard lock(mutex_);
    syncWhenDepartedLocked(devNode, result == kUsbErrorNoDevice);
}

std::optional<VideoBinding> UsbBridge::bindVideo(const std::string& devNode) {
    std::lock_guard lock(mutex_);
    for (const auto& [name, attached] : attached_) {
        const BridgedDevice& device = attached.device;
        if (!attached.video || (device.videoNode != devNode && device.metadataNode != devNode)) continue;
        VideoBinding binding;
        binding.camera = attached.camera;
        binding.cameraName = name;
        binding.vendorId = device.vendorId;
        binding.productId = device.productId;
        binding.serial = attached.videoSerial;
        binding.generation = attached.generation;
        binding.metadata = devNode == device.metadataNode;
        binding.card = attached.card;
        binding.busInfo = attached.video->busInfo();
        return binding;
    }
    return std::nullopt;
}

bool UsbBridge::currentVideo(const std::string& devNode, uint64_t generation) {
    std::lock_guard lock(mutex_);
    return std::any_of(attached_.begin(), attached_.end(), [&](const auto& entry) {
        const BridgedDevice& device = entry.second.device;
        return (device.videoNode == devNode || device.metadataNode == devNode) &&
               entry.second.generation == generation;
    });
}

void UsbBridge::videoCalled(const std::string& devNode) {
    std::lock_guard lock(mutex_);
    syncWhenDepartedLocked(devNode, false);
}

void UsbBridge::syncWhenDepartedLocked(const std::string& devNode, bool force) {
    const auto departed = [&](const auto& entry) {
        const BridgedDevice& device = entry.second.device;
        const bool itsNode = device.devNode == devNode || (!device.videoNode.empty() && device.videoNode == devNode);
        return itsNode && entry.second.camera->enumeration() != entry.second.enumeration;
    };
    if (!force && !std::any_of(attached_.begin(), attached_.end(), departed)) return;
    // A reset or power loss: the nodes go now, so the client's next look at
    // the bus sees them gone or back under new numbers, as after a real one.
    try {
        syncLocked();
    } catch (const std::exception&) {
        // The poller tries again.
    }
}

void UsbBridge::pollUntilStopped(std::stop_token stop) {
    std::mutex waitMutex;
    std::condition_variable_any wake;
    std::unique_lock waitLock(waitMutex);
    bool told = false;
    while (!stop.stop_requested()) {
        handler_->releaseClosedClients();
        videoHandler_->releaseClosedClients();
        try {
            sync();
        } catch (const DeviceNumbersExhausted& error) {
            // Told once: the camera that needed the number stays away for good.
            if (!told) std::fprintf(stderr, "UsbBridge: %s\n", error.what());
            told = true;
        } catch (const std::exception&) {
            // A camera folder mid-change; the next round sees it settled.
        }
        wake.wait_for(waitLock, stop, kPollInterval, [] { return false; });
    }
}

}  // namespace veltrion::realports
