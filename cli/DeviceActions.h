#pragma once

#include <string>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// -d: shows the identity, versions and state of one camera or of all.
bool displayDeviceInfo(const std::string& selector, Veltrion2CamMgr& mgr);

// --reboot: resets one camera or all; the manager logs its failures.
bool rebootCameras(Veltrion2CamMgr& mgr, const std::string& selector);

}  // namespace veltrion::cli
