#pragma once

// The standard controls the simulated camera offers on its video function:
// names (camera.json and veltrion-sim keys), ranges, steps, defaults and the
// automatic switch that locks a control while it is on.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "CameraState.h"
#include "device/uvc/VideoPort.h"

namespace camsim {

struct VideoControlInfo {
    veltrion::VideoControlId id;
    const char* name;
    veltrion::VideoControlRange range;
    // The switch that, while on, makes the camera refuse manual values.
    std::optional<veltrion::VideoControlId> automaticSwitch;
};

std::span<const VideoControlInfo> videoControlTable();
// Null when the camera does not offer the control.
const VideoControlInfo* findVideoControl(veltrion::VideoControlId id);
const VideoControlInfo* findVideoControl(const std::string& name);

// A value brought into the range and onto its step, as V4L2 does: clamped,
// then rounded to the nearest step counted from the minimum.
int32_t fitToRange(const veltrion::VideoControlRange& range, int64_t value);

// The current value of a control (its default when never set).
int32_t videoControlValue(const VideoState& video, const VideoControlInfo& control);

}  // namespace camsim
