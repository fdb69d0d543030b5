#pragma once

#include <string>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// -p all --jobs N: recovers boot-mode cameras first, as -p all does, then
// updates up to N cameras at once, each with a manager and device object of
// its own on its own thread; every line a camera's update writes starts with
// "[cam <number>] ". A camera that fails does not stop the others; false when
// any camera failed or a boot-mode camera was not recovered.
bool updateAllCamerasAtOnce(const std::string& imageFile, bool force, unsigned jobs, bool useVendorChannel,
                            Veltrion2CamMgr& mgr);

}  // namespace veltrion::cli
