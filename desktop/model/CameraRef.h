#pragma once

#include <cstdint>
#include <string>

namespace veltrion::desktop {

// One camera as a job sees it: resolved from a list index once, when the job
// starts, and used for every step after. A camera plugged in or out during
// the job moves the indices, never the camera a job works on.
struct CameraRef {
    int index = -1;            // position in the device list when resolved (for log lines)
    std::string path;          // device path on its channel
    bool uvc = false;          // true: UVC channel; false: vendor channel
    // Filled by CamMgrModel::identify (the camera is asked once).
    std::string serial;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    bool identified = false;

    // "UVC" or "Veltrion-C", as the log lines name the channel.
    const char* channelName() const { return uvc ? "UVC" : "Veltrion-C"; }
};

}  // namespace veltrion::desktop
