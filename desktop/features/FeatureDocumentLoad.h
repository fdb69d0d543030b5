#pragma once

#include <memory>

#include "dialog/DialogServices.h"
#include "model/FeatureDocument.h"

namespace veltrion::desktop {

// The feature JSON of the update image for the selected camera, asked of the
// model now (the model forgets it whenever a camera comes or goes). Null,
// after a log line, when there is no camera or no JSON.
std::shared_ptr<const FeatureDocument> loadFeatureDocument(DialogServices& services);

}  // namespace veltrion::desktop
