#pragma once

// One image or pan-tilt-zoom property of the camera's capture source, read
// and written through a UVCControl that the caller opens for one action.

#include <memory>
#include <string>

#include "device/uvc/UVCControl.h"

namespace veltrion::desktop {

struct PropertyReading {
    long value = 0;
    bool automatic = false;
    long minimum = 0;
    long maximum = 0;
    long defaultValue = 0;
    long step = 1;
};

class CameraProperty {
public:
    // A video-processing property (0 brightness ... 9 gain).
    static CameraProperty processing(long type) { return CameraProperty(type, false, UVCControl::PtzAxis::Zoom); }
    // Pan and tilt in degrees, zoom in the camera's unit.
    static CameraProperty ptz(UVCControl::PtzAxis axis) { return CameraProperty(-1, true, axis); }

    bool isPtz() const { return ptz_; }

    bool read(UVCControl& control, PropertyReading& reading) const;
    // automatic is honoured only by properties that have an automatic mode;
    // a manual value turns that mode off first.
    bool write(UVCControl& control, bool automatic, long value) const;

private:
    CameraProperty(long type, bool isPtzAxis, UVCControl::PtzAxis axis) : type_(type), ptz_(isPtzAxis), axis_(axis) {}

    long type_;
    bool ptz_;
    UVCControl::PtzAxis axis_;
};

// The capture source of the camera with this serial number, opened for one
// action and closed when the result goes; null when there is no serial (an
// empty one would pick a camera by position) or the source cannot be opened.
std::unique_ptr<UVCControl> openCaptureSource(const std::string& serial);

}  // namespace veltrion::desktop
