#include "ConfigActions.h"

#include "NotAvailable.h"

namespace veltrion::cli {

bool displayConfigBlock(const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-s");
}

bool displayEEPROMData(const std::string&, uint32_t, uint32_t, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-m");
}

bool readCalibration(const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "--read-calib");
}

bool writeCalibration(const std::string&, const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "--write-calib");
}

}  // namespace veltrion::cli
