#pragma once

// camera.json: the text form of a CameraState.

#include <string>

#include "CameraState.h"

namespace camsim {

std::string cameraStateToJson(const CameraState& state);

// Throws SimError when the text is not a camera description.
CameraState cameraStateFromJson(const std::string& text);

}  // namespace camsim
