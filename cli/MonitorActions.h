#pragma once

#include <string>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// --start-roi: shows a camera's automatic-framing ROI data until Ctrl-C or a
// device error. False when the monitor could not start.
bool runROIMonitor(const std::string& selector, Veltrion2CamMgr& mgr);

// --start-raw-face: the same for the ISPs' raw face data.
bool runRawFaceMonitor(const std::string& selector, Veltrion2CamMgr& mgr);

}  // namespace veltrion::cli
