#pragma once

#include <cstdint>
#include <string>

#include "base/VersionNumber.h"

namespace veltrion {

// What getVeltrion2Info learns about one camera.
struct CameraInfo {
    uint16_t vendorId = 0xFFFF;
    uint16_t productId = 0xFFFF;
    uint16_t usbBusType = 0xFFFF;
    uint32_t fpgaVersion = kVersionNotRead;
    uint32_t fx3Version = kVersionNotRead;
    uint32_t audioVersion = kVersionNotRead;
    uint32_t ispVersion = kVersionNotRead;
    std::string serialNumber = "FFFF";
    bool versionsValid = false;
    bool versionsRead = false;
    bool systemReady = false;
};

}  // namespace veltrion
