#pragma once

// The UVC channel's reach into the video stack: finds the cameras among the
// capture sources, opens a camera's extension unit through the process-wide
// source cache, runs property calls with their time-out, and watches
// hot-plug so the sources of removed cameras are shut down.

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AcceptedProducts.h"
#include "EUHandle.h"
#include "SourceShutdownWorker.h"
#include "VideoPort.h"
#include "base/StopSignal.h"
#include "device/hotplug/HotplugPort.h"

namespace veltrion {

// A capture source that is one of our cameras.
struct CameraSource {
    // friendly name + "__" + serial; for twins (two sources with the same
    // name and serial) the place key, so each names one camera
    std::string key;
    // friendly name + "__" + serial + "@" + the USB device place of the
    // capture node: unique on the bus, and kept across a twin's removal
    std::string placeKey;
    std::string symbolicLink;
    std::string friendlyName;
    std::string serial;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

class UVCExtensionUnitManager {
public:
    // Starts the hot-plug monitor thread unless hotplug is false. A null
    // hotplugPort means the platform's.
    UVCExtensionUnitManager(std::unique_ptr<VideoPort> port, AcceptedProducts products, bool hotplug = true,
                            std::unique_ptr<HotplugPort> hotplugPort = nullptr);
    // Stops and joins the monitor, then shuts down every source it opened.
    ~UVCExtensionUnitManager();
    UVCExtensionUnitManager(const UVCExtensionUnitManager&) = delete;
    UVCExtensionUnitManager& operator=(const UVCExtensionUnitManager&) = delete;

    // Every camera among the capture sources, in the port's order, each with
    // a key of its own.
    bool enumerateCameras(std::vector<CameraSource>& cameras);
    // The camera a key (or a place key) names; false when none does.
    static bool findCamera(const std::vector<CameraSource>& cameras, const std::string& key, CameraSource& camera);
    bool enumerateDevices(std::vector<std::string>& keys);
    // The camera source of one capture source; false (with the reason
    // printed where there is one) when it is not a usable camera.
    static bool getVeltrionNameAndSerial(const VideoSourceEntry& entry, AcceptedProducts products,
                                         CameraSource& camera);

    std::shared_ptr<EUHandle> openExtensionUnit(const UnitGuid& guid, const std::string& key);
    // Property calls on a handle; 0 or a negative result (PropertyCall.h).
    int getProperty(const std::shared_ptr<EUHandle>& handle, uint8_t selector, uint8_t* buffer, uint32_t size);
    int setProperty(const std::shared_ptr<EUHandle>& handle, uint8_t selector, uint8_t* buffer, uint32_t size);

    VideoPort& port() { return *port_; }
    // Waits until removals seen so far have shut their sources down.
    void drainRemovals() { shutdownWorker_.drain(); }

private:
    std::vector<CameraSource> camerasOf(const std::vector<VideoSourceEntry>& sources) const;
    int propertyCall(const std::shared_ptr<EUHandle>& handle, uint8_t selector, bool isSet, uint8_t* buffer,
                     uint32_t size);

    std::unique_ptr<VideoPort> port_;
    AcceptedProducts products_;
    std::vector<std::string> openedLinks_;  // no duplicates
    SourceShutdownWorker shutdownWorker_;
    StopSignal stop_;
    std::thread monitorThread_;
};

}  // namespace veltrion
