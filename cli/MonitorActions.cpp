#include "MonitorActions.h"

#include "NotAvailable.h"

namespace veltrion::cli {

bool runROIMonitor(const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "--start-roi");
}

bool runRawFaceMonitor(const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "--start-raw-face");
}

}  // namespace veltrion::cli
