// The standard controls of the video function: ranges, current values and
// settings, with the V4L2 rules for values off the range or the step and for
// a control whose automatic switch is on.

#include <cerrno>

#include "Camera.h"
#include "VideoControls.h"

namespace camsim {

int Camera::videoControlQuery(uint64_t enumeration, veltrion::VideoControlId id, veltrion::VideoControlRange& range) {
    const VideoCall call(*this);
    const Request request(*this);
    if (!videoFunctionLocked(enumeration)) return -ENODEV;
    const VideoControlInfo* control = findVideoControl(id);
    if (!control) return -EINVAL;
    range = control->range;
    return 0;
}

int Camera::videoControlGet(uint64_t enumeration, veltrion::VideoControlId id, int32_t& value) {
    const VideoCall call(*this);
    const Request request(*this);
    if (!videoFunctionLocked(enumeration)) return -ENODEV;
    const VideoControlInfo* control = findVideoControl(id);
    if (!control) return -EINVAL;
    value = videoControlValue(state_->video, *control);
    return 0;
}

int Camera::videoControlSet(uint64_t enumeration, veltrion::VideoControlId id, int32_t value) {
    const VideoCall call(*this);
    const Request request(*this);
    if (!videoFunctionLocked(enumeration)) return -ENODEV;
    return videoControlSetLocked(id, value);
}

int Camera::videoControlSetLocked(veltrion::VideoControlId id, int32_t value) {
    const VideoControlInfo* control = findVideoControl(id);
    if (!control) return -EINVAL;
    if (control->automaticSwitch) {
        const VideoControlInfo* automatic = findVideoControl(*control->automaticSwitch);
        if (automatic && videoControlValue(state_->video, *automatic) != 0) return -EBUSY;
    }
    state_.edit().video.controls[control->name] = fitToRange(control->range, value);
    ++live_->counters.controlWrites;
    return 0;
}

}  // namespace camsim
