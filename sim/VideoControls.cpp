#include "VideoControls.h"

#include <algorithm>
#include <array>

namespace camsim {

namespace {

using veltrion::VideoControlId;

// Pan and tilt travel in arc seconds, a degree at a time.
constexpr int32_t kArcSecondsPerDegree = 3600;
constexpr int32_t kPanDegrees = 180;
constexpr int32_t kTiltDegrees = 30;

// Typical figures of a conference camera's processing unit and camera
// terminal. Colour enable is absent: the video stack offers no such control.
constexpr std::array<VideoControlInfo, 14> kControlTable{{
    {VideoControlId::Brightness, "brightness", {-64, 64, 1, 0}, std::nullopt},
    {VideoControlId::Contrast, "contrast", {0, 100, 1, 50}, std::nullopt},
    {VideoControlId::Hue, "hue", {-180, 180, 1, 0}, VideoControlId::HueAuto},
    {VideoControlId::Saturation, "saturation", {0, 100, 1, 64}, std::nullopt},
    {VideoControlId::Sharpness, "sharpness", {0, 100, 1, 50}, std::nullopt},
    {VideoControlId::Gamma, "gamma", {72, 500, 1, 100}, std::nullopt},
    {VideoControlId::WhiteBalance, "white-balance", {2800, 6500, 10, 4600}, VideoControlId::WhiteBalanceAuto},
    {VideoControlId::BacklightCompensation, "backlight-compensation", {0, 2, 1, 1}, std::nullopt},
    {VideoControlId::Gain, "gain", {0, 100, 1, 0}, std::nullopt},
    {VideoControlId::WhiteBalanceAuto, "white-balance-auto", {0, 1, 1, 1}, std::nullopt},
    {VideoControlId::HueAuto, "hue-auto", {0, 1, 1, 0}, std::nullopt},
    {VideoControlId::Pan, "pan",
     {-kPanDegrees * kArcSecondsPerDegree, kPanDegrees * kArcSecondsPerDegree, kArcSecondsPerDegree, 0},
     std::nullopt},
    {VideoControlId::Tilt, "tilt",
     {-kTiltDegrees * kArcSecondsPerDegree, kTiltDegrees * kArcSecondsPerDegree, kArcSecondsPerDegree, 0},
     std::nullopt},
    {VideoControlId::Zoom, "zoom", {100, 500, 1, 100}, std::nullopt},
}};

}  // namespace

std::span<const VideoControlInfo> videoControlTable() { return kControlTable; }

const VideoControlInfo* findVideoControl(veltrion::VideoControlId id) {
    const auto found = std::find_if(kControlTable.begin(), kControlTable.end(), [id](const auto& control) { return control.id == id; });
    return found == kControlTable.end() ? nullptr : &*found;
}

const VideoControlInfo* findVideoControl(const std::string& name) {
    const auto found =
        std::find_if(kControlTable.begin(), kControlTable.end(), [&name](const auto& control) { return name == control.name; });
    return found == kControlTable.end() ? nullptr : &*found;
}

int32_t fitToRange(const veltrion::VideoControlRange& range, int64_t value) {
    const int64_t step = std::max<int32_t>(range.step, 1);
    value = std::clamp<int64_t>(value, range.minimum, range.maximum);
    int64_t fitted = range.minimum + (value - range.minimum + step / 2) / step * step;
    if (fitted > range.maximum) fitted -= step;  // a maximum off the step grid
    return static_cast<int32_t>(fitted);
}

int32_t videoControlValue(const VideoState& video, const VideoControlInfo& control) {
    const auto stored = video.controls.find(control.name);
    // A hand-edited camera.json may hold anything; the camera reports what it can hold.
    return stored == video.controls.end() ? control.range.defaultValue : fitToRange(control.range, stored->second);
}

}  // namespace camsim
