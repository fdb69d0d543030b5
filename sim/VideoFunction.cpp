// The camera's video function as the host's video stack reaches it: sources
// bound to an enumeration, and extension-unit calls served one at a time per
// camera across processes (the video driver serialises a device's control
// calls). A stalled call holds up the next call to the same camera, while the
// vendor channel and other cameras go on.

#include <cerrno>
#include <thread>

#include "Camera.h"
#include "SimError.h"

namespace camsim {

bool Camera::videoFunctionLocked(uint64_t enumeration) const {
    return enumeration == live_->enumeration && presentLocked() && state_->running.mode == RunMode::Camera;
}

int Camera::openVideoSource(uint16_t vendorId, uint16_t productId, const std::string& serial,
                            uint64_t& enumeration) {
    const Request request(*this);
    const BusView view = busViewLocked();
    const std::string shownSerial = view.serialHidden ? std::string() : view.serial;
    if (!view.present || view.bootLoader || view.vendorId != vendorId || view.productId != productId ||
        shownSerial != serial)
        return -ENODEV;
    enumeration = live_->enumeration;
    return 0;
}

bool Camera::videoSourceGone(uint64_t enumeration) {
    if (!folder_.exists()) return true;
    const Request request(*this);
    return live_->removed || enumeration != live_->enumeration;
}

int Camera::extensionUnitQuery(uint64_t enumeration, uint8_t selector, veltrion::XuQuery query, uint8_t* data,
                               uint16_t size) {
    const VideoCall call(*this);
    uint32_t stallMs = 0;
    {
        const Request request(*this);
        if (!videoFunctionLocked(enumeration)) return -ENODEV;
        ++live_->counters.xuCalls;
        if (state_->faults.xuVanishAfter > 0 && --state_.edit().faults.xuVanishAfter == 0) {
            // The cable comes out in the middle of the call.
            try {
                losePower();
            } catch (const SimError&) {
                // Off the bus all the same.
            }
            return -ENODEV;
        }
        stallMs = state_->faults.xuStallMs;
        if (stallMs == 0) return extensionUnitLocked(selector, query, data, size);
    }
    // The answer comes late: the next video call on this camera waits behind
    // it, the camera's other requests go on meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
    const Request request(*this);
    if (!videoFunctionLocked(enumeration)) return -ENODEV;
    return extensionUnitLocked(selector, query, data, size);
}

}  // namespace camsim
