// The camera's video function as the host's video stack reaches it: sources
// bound to an enumeration, extension-unit and control calls, and how what
// they change reaches camera.json.
//
// Persistence: a vendor handle holds the camera's state in memory while it
// is open and saves at close. A video source stays open for a whole process,
// so it works differently: before each call the camera picks up whatever
// another process saved (a cheap stat of camera.json tells whether it
// changed), keeping the counts of its own not yet saved; after each call it
// saves at once when anything but the counters changed (run state such as
// SPI mode, a reset, switches, controls, a spent fault), and saves counters
// alone at most every kCounterSaveInterval, and on closing the source. A
// flash update through the unit thus saves a few times a second, not per
// call.

#include <cerrno>
#include <thread>

#include "Camera.h"
#include "SimError.h"

namespace camsim {

namespace {

constexpr std::chrono::milliseconds kCounterSaveInterval{250};

}  // namespace

bool Camera::videoFunctionLocked(uint64_t enumeration) const {
    return enumeration == enumeration_ && presentLocked() && state_.running.mode == RunMode::Camera;
}

void Camera::syncVideoLocked() {
    if (detached_ || openHandles_ > 0) return;  // a vendor handle's work is saved at its close
    const FileStamp now = folder_.stamp();
    if (now == stamp_) return;
    if (now == FileStamp{}) {
        // camera.json is only ever replaced, never missing: another process
        // removed the camera.
        detached_ = true;
        ++enumeration_;
        return;
    }
    refreshLocked();
}

void Camera::settleVideoCallLocked(const CameraState& before) {
    try {
        const bool savedInCall = state_.revision != before.revision;
        if (!savedInCall && !sameExceptCounters(before, state_))
            saveLocked();
        else if (!(state_.counters == savedCounters_) && SteadyClock::now() - lastSave_ >= kCounterSaveInterval)
            saveLocked();
    } catch (const SimError&) {
        // The next save tries again.
    }
}

int Camera::openVideoSource(uint16_t vendorId, uint16_t productId, const std::string& serial,
                            uint64_t& enumeration) {
    std::lock_guard lock(mutex_);
    refreshLocked();
    const BusView view = busViewLocked();
    const std::string shownSerial = view.serialHidden ? std::string() : view.serial;
    if (!view.present || view.bootLoader || view.vendorId != vendorId || view.productId != productId ||
        shownSerial != serial)
        return -ENODEV;
    enumeration = enumeration_;
    return 0;
}

bool Camera::videoSourceGone(uint64_t enumeration) {
    std::lock_guard lock(mutex_);
    if (detached_ || !folder_.exists()) return true;
    syncVideoLocked();
    return enumeration != enumeration_;
}

void Camera::closeVideoSource() {
    std::lock_guard lock(mutex_);
    syncVideoLocked();
    if (state_.counters == savedCounters_) return;
    try {
        saveLocked();
    } catch (const SimError&) {
        // Nobody to tell; the next save of the camera carries the counts.
    }
}

int Camera::extensionUnitQuery(uint64_t enumeration, uint8_t selector, veltrion::XuQuery query, uint8_t* data,
                               uint16_t size) {
    std::unique_lock lock(mutex_);
    syncVideoLocked();
    if (!videoFunctionLocked(enumeration)) return -ENODEV;
    const CameraState before = state_;
    ++state_.counters.xuCalls;
    if (state_.faults.xuVanishAfter > 0 && --state_.faults.xuVanishAfter == 0) {
        // The cable comes out in the middle of the call.
        try {
            losePower();
        } catch (const SimError&) {
            // Off the bus all the same.
        }
        return -ENODEV;
    }
    if (const uint32_t stallMs = state_.faults.xuStallMs; stallMs > 0) {
        // The answer comes late; other calls on the camera go on meanwhile.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
        lock.lock();
        syncVideoLocked();
        if (!videoFunctionLocked(enumeration)) return -ENODEV;
    }
    const int result = extensionUnitLocked(selector, query, data, size);
    settleVideoCallLocked(before);
    return result;
}

}  // namespace camsim
