#pragma once

#include <string>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// -z: writes the device health report of one camera into "report".
bool createReport(const std::string& selector, Veltrion2CamMgr& mgr);

// -i: shows the self-test information of one camera or of all.
bool displaySelfTestInfo(const std::string& selector, Veltrion2CamMgr& mgr);

}  // namespace veltrion::cli
