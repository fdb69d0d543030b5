#pragma once

#include <string>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// --preset: saves, applies or resets a PTZ or control preset button.
bool applyPreset(const std::string& selector, const std::string& action, const std::string& type,
                 const std::string& button, Veltrion2CamMgr& mgr);

// --fd-sen: sets the face detection sensitivity ("0x..." text).
bool setFaceDetectSensitivity(const std::string& selector, const std::string& value, Veltrion2CamMgr& mgr);

// --face-box: shows or hides the face box in the video.
bool setFaceBox(const std::string& selector, bool enable, Veltrion2CamMgr& mgr);

// --sensor-temp: shows the three image sensor temperatures.
bool displaySensorTemperatures(const std::string& selector, Veltrion2CamMgr& mgr);

}  // namespace veltrion::cli
