#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "VideoPort.h"

namespace veltrion {

// One open extension unit. Shared: the channel holds it while the camera is
// open, and every property worker holds it while its call runs, so a worker
// that outlives its caller still has a valid unit; the last owner lets the
// capture source go.
struct EUHandle {
    UnitGuid guid{};
    uint8_t unitId = 0;
    std::shared_ptr<VideoSource> source;
    std::string symbolicLink;
    std::string serial;
    std::string friendlyName;
    uint16_t vendorId = 0;
    uint16_t productId = 0;

    // Control lengths the camera reported, by selector, learnt once per unit.
    std::mutex lengthsMutex;
    std::map<uint8_t, uint16_t> controlLengths;
};

}  // namespace veltrion
