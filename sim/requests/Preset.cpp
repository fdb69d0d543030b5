// Preset buttons: the camera saves, applies or resets the pan/tilt/zoom or
// image-control preset a preset word names, and answers 1 when it took it.
// Saving keeps the current values of the type's standard controls under the
// button; applying writes them back into the controls; resetting empties the
// button. An empty button applies nothing.

#include <array>

#include "Camera.h"
#include "VideoControls.h"
#include "device/usb/UsbPort.h"

namespace camsim {

namespace {

using veltrion::VideoControlId;

// Preset word: bits 14..12 type, bits 11..8 action, bits 7..0 button.
constexpr unsigned kTypeShift = 12;
constexpr unsigned kActionShift = 8;
constexpr uint16_t kFieldMask = 0x0F;
constexpr uint16_t kTypeMask = 0x07;
constexpr uint16_t kButtonMask = 0xFF;
constexpr uint16_t kReservedBit = 0x8000;
constexpr uint16_t kMaxType = 1;    // 0 pan/tilt/zoom, 1 image controls
constexpr uint16_t kMaxAction = 2;  // 0 apply, 1 save, 2 reset
constexpr uint16_t kMaxButton = 9;
constexpr uint16_t kApply = 0;
constexpr uint16_t kSave = 1;
constexpr uint8_t kAccepted = 1;

constexpr std::array<VideoControlId, 3> kPtzControls = {VideoControlId::Pan, VideoControlId::Tilt,
                                                        VideoControlId::Zoom};
// The image controls; their automatic switches are not part of a preset.
constexpr std::array<VideoControlId, 9> kImageControls = {
    VideoControlId::Brightness, VideoControlId::Contrast,   VideoControlId::Hue,
    VideoControlId::Saturation, VideoControlId::Sharpness,  VideoControlId::Gamma,
    VideoControlId::WhiteBalance, VideoControlId::BacklightCompensation, VideoControlId::Gain};

void runPreset(CameraState& state, uint16_t type, uint16_t action, uint16_t button) {
    std::map<std::string, int32_t>& saved = state.presets[type][button];
    if (action == kApply) {
        for (const auto& [name, value] : saved)
            if (const VideoControlInfo* control = findVideoControl(name))
                state.video.controls[name] = fitToRange(control->range, value);
        return;
    }
    saved.clear();
    if (action != kSave) return;
    const auto save = [&](VideoControlId id) {
        if (const VideoControlInfo* control = findVideoControl(id)) saved[control->name] = videoControlValue(state.video, *control);
    };
    if (type == 0)
        for (VideoControlId id : kPtzControls) save(id);
    else
        for (VideoControlId id : kImageControls) save(id);
}

}  // namespace

int Camera::handlePreset(const SetupPacket& setup, uint8_t* data) {
    const uint16_t word = setup.value;
    const uint16_t type = word >> kTypeShift & kTypeMask;
    const uint16_t action = word >> kActionShift & kFieldMask;
    const uint16_t button = word & kButtonMask;
    if ((word & kReservedBit) || type > kMaxType || action > kMaxAction || button > kMaxButton)
        return veltrion::kUsbErrorPipe;
    const std::array<uint8_t, 1> reply{kAccepted};
    const int result = replyIn(setup, data, reply);
    if (result < 0) return result;
    CameraState& state = state_.edit();
    runPreset(state, type, action, button);
    state.run.lastPreset = word;
    return result;
}

}  // namespace camsim
