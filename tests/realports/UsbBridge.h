#pragma once

// A umockdev testbed that shows every camera of a simulated bus folder as a
// USB device on bus 1 (sysfs entry, /dev/bus/usb node, uevents) and carries
// the usbfs requests made on its node to the simulated camera. The real
// libusb code of this process, and of children that inherit the preload and
// UMOCKDEV_DIR, then talks to the simulated cameras as to real ones.
//
// Cameras keep their port; each enumeration gets a new device number, never
// one used before in the bridge's life (umockdev cannot make a /dev node
// under a used name); once they run out, sync() throws DeviceNumbersExhausted
// and the camera stays off the bus. A camera that resets or is power-cycled
// leaves the bus (a "remove" uevent) and enumerates again (an "add" uevent);
// one without a bootable chain shows as the controller's boot loader.
//
// A camera running as a camera also has its video function: a capture node
// and a metadata node under its VideoControl interface, whose ioctls reach
// the camera's video function (see VideoHandler). They come and go with the
// USB device, announced after its arrival and before its removal.
//
// One bridge per process at a time: the testbed is named by the process-wide
// UMOCKDEV_DIR.

#include <umockdev.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <stop_token>
#include <thread>
#include <vector>

#include "GObjectPtr.h"
#include "SysfsDevice.h"
#include "UsbfsHandler.h"
#include "VideoHandler.h"
#include "VideoSysfs.h"

namespace camsim {
class Bus;
class Camera;
class SimUsbPort;
}  // namespace camsim

namespace veltrion::realports {

// One camera as the bridged bus shows it now.
struct BridgedDevice {
    std::string camera;   // name of the simulated camera
    std::string simPath;  // its path on the simulator's own port
    std::string usbPath;  // its path as LibusbPort lists it
    std::string sysName;  // kernel device name, e.g. "1-2"
    std::string devNode;  // /dev/bus/usb/001/NNN
    int deviceNumber = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // The video function; empty for a boot loader.
    std::string videoNode;     // /dev/videoN, the capture node
    std::string metadataNode;  // /dev/videoN+1
    std::string videoLink;     // the capture source's link, "v4l:1-2:vid_…&pid_…:<serial>"
};

// No device number is left for another enumeration.
struct DeviceNumbersExhausted : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class UsbBridge : private NodeDirectory, private VideoNodeDirectory {
public:
    // Throws std::runtime_error when the preload is not active, so nothing
    // built on the bridge can reach the host's devices.
    explicit UsbBridge(std::filesystem::path busDir);
    ~UsbBridge() override;
    UsbBridge(const UsbBridge&) = delete;
    UsbBridge& operator=(const UsbBridge&) = delete;

    // Brings the testbed in line with the bus folder at once. A background
    // thread does the same every few milliseconds, for cameras that come back
    // after their re-enumeration time and for changes made by other processes.
    void sync();

    std::optional<BridgedDevice> device(const std::string& camera) const;
    std::vector<BridgedDevice> devices() const;

    // Waits until every client that closed its node has been released (its
    // camera handles closed and saved); false when clients stay open.
    bool waitForClosedClients(std::chrono::milliseconds limit = std::chrono::seconds(5));

    std::string rootDir() const { return rootDir_; }

private:
    struct Attached {
        BridgedDevice device;
        BusPlace place;
        uint64_t generation = 0;
        std::shared_ptr<camsim::Camera> camera;  // the live camera object of this process
        uint64_t enumeration = 0;                // the camera's own, at attach
        uint64_t boots = 0;                      // resets + power cycles, at attach
        std::optional<VideoPlace> video;         // none for a boot loader
        std::string card;
        std::string videoSerial;                 // the serial the capture node shows
    };

    // NodeDirectory, for the ioctl handler.
    std::optional<NodeBinding> bind(const std::string& devNode) override;
    bool current(const std::string& devNode, uint64_t generation) override;
    void transferred(const std::string& devNode, int result) override;
    // VideoNodeDirectory, for the video handler.
    std::optional<VideoBinding> bindVideo(const std::string& devNode) override;
    bool currentVideo(const std::string& devNode, uint64_t generation) override;
    void videoCalled(const std::string& devNode) override;
    // Brings the bus in line at once when the camera behind a node (USB or
    // video) has left it.
    void syncWhenDepartedLocked(const std::string& devNode, bool force);

    void syncLocked();
    // Whether the camera is still in the enumeration it was attached in.
    static bool sameEnumeration(const Attached& attached, uint16_t vendorId, uint16_t productId);
    void attachLocked(const std::string& camera, const std::string& simPath);
    void detachLocked(const Attached& attached);
    void addRecordLocked(const BusPlace& place, const EnumeratedDevice& device, bool withHandler);
    void addVideoLocked(const Attached& attached);
    void removeVideoLocked(const VideoPlace& place);
    void attachHandlerLocked(const std::string& node, UMockdevIoctlBase* handler);
    void addFromStringLocked(const std::string& record, const std::string& what);
    int portFor(const std::string& camera);
    int nextDeviceNumber() const;
    void pollUntilStopped(std::stop_token stop);

    std::filesystem::path busDir_;
    std::unique_ptr<camsim::Bus> bus_;
    std::unique_ptr<camsim::SimUsbPort> port_;
    mutable std::mutex mutex_;
    std::map<std::string, Attached> attached_;  // by camera name
    std::map<std::string, int> ports_;          // by camera name, kept across enumerations
    int lastDeviceNumber_ = 1;                  // the root hub has 1
    uint64_t lastGeneration_ = 0;
    std::set<std::string> handledNodes_;        // nodes the ioctl handler was ever attached to
    int nextVideoIndex_ = 0;                    // video node numbers are never used twice

    // Destroyed in reverse: the poller stops first, then the video handler's
    // queues (stopped explicitly, while the testbed still exists), then the
    // testbed (and its worker thread), then the handlers the worker called into.
    std::unique_ptr<UsbfsHandler> handler_;
    std::unique_ptr<VideoHandler> videoHandler_;
    GObjectPtr<UMockdevTestbed> testbed_;
    std::string rootDir_;
    std::jthread poller_;
};

}  // namespace veltrion::realports
