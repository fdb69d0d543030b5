#include "FeatureActions.h"

#include "NotAvailable.h"

namespace veltrion::cli {

bool displayFeatureValues(const std::string&, const std::vector<int>&, const std::vector<int>&,
                          Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-g");
}

bool extractJson(const std::string&, const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-j");
}

}  // namespace veltrion::cli
