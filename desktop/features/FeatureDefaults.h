#pragma once

#include "model/CamMgrModel.h"

namespace veltrion::desktop {

// Writes the factory value of every feature of the image's feature JSON
// (hidden features included) through the model.
bool programDefaultFeatureValues(CamMgrModel& model, const CameraRef& camera);

}  // namespace veltrion::desktop
