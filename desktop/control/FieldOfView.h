#pragma once

// The camera's field of view, from its field-of-view feature (3 bytes: the
// feature's enable byte, then the angle choice, little-endian).

#include <cstdint>

namespace veltrion::desktop {

class DialogServices;

constexpr uint16_t kFieldOfViewFeature = 3;
constexpr int kFullFieldOfView = 180;

// Degrees for the feature bytes; false for a choice the camera does not
// have (raw holds it).
bool fieldOfViewDegrees(const uint8_t feature[3], int& degrees, unsigned& raw);

// The selected camera's field of view; false (logged) when it cannot be told.
bool readFieldOfView(DialogServices& services, int& degrees);

}  // namespace veltrion::desktop
