#pragma once

#include "model/CamMgrModel.h"

namespace veltrion::desktop {

// Writes the image-control defaults that the feature JSON's "Filter Control"
// object carries to the camera (opened by its serial number) and stores them
// as the object's preset "Btn". True when there is nothing to do. The camera
// must be identified (its serial is needed).
bool programDefaultCamControls(CamMgrModel& model, const CameraRef& camera);

}  // namespace veltrion::desktop
