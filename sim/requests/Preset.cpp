// Preset buttons: the camera saves, applies or resets the pan/tilt/zoom or
// image-control preset a preset word names, and answers 1 when it took it.

#include <array>

#include "Camera.h"
#include "device/usb/UsbPort.h"

namespace camsim {

namespace {

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
constexpr uint8_t kAccepted = 1;

}  // namespace

int Camera::handlePreset(const SetupPacket& setup, uint8_t* data) {
    const uint16_t word = setup.value;
    if ((word & kReservedBit) || (word >> kTypeShift & kTypeMask) > kMaxType ||
        (word >> kActionShift & kFieldMask) > kMaxAction || (word & kButtonMask) > kMaxButton)
        return veltrion::kUsbErrorPipe;
    const std::array<uint8_t, 1> reply{kAccepted};
    const int result = replyIn(setup, data, reply);
    if (result >= 0) state_.run.lastPreset = word;
    return result;
}

}  // namespace camsim
