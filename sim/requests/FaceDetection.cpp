// Face detection's host controls: the sensitivity (0x000..0x944, a larger
// value stalls) and the face box the camera draws into its video.

#include <array>

#include "Camera.h"
#include "base/ByteLayout.h"
#include "device/usb/UsbPort.h"

namespace camsim {

namespace {

constexpr uint16_t kSensitivityLength = 2;
constexpr uint16_t kFaceBoxOn = 1;
constexpr uint8_t kAccepted = 1;
constexpr uint8_t kDirectionIn = 0x80;

}  // namespace

int Camera::handleFaceSensitivity(const SetupPacket& setup, uint8_t* data) {
    if ((setup.requestType & kDirectionIn) || setup.length != kSensitivityLength) return veltrion::kUsbErrorPipe;
    const uint16_t sensitivity =
        *veltrion::ByteReader(std::span<const uint8_t>(data, kSensitivityLength)).le16(0);
    if (sensitivity > face::kMaxSensitivity) return veltrion::kUsbErrorPipe;
    state_.edit().face.sensitivity = sensitivity;
    return kSensitivityLength;
}

int Camera::handleFaceBox(const SetupPacket& setup, uint8_t* data) {
    if (setup.value > kFaceBoxOn) return veltrion::kUsbErrorPipe;
    const std::array<uint8_t, 1> reply{kAccepted};
    const int result = replyIn(setup, data, reply);
    if (result >= 0) state_.edit().face.faceBox = setup.value == kFaceBoxOn;
    return result;
}

}  // namespace camsim
