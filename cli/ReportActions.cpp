#include "ReportActions.h"

#include "NotAvailable.h"

namespace veltrion::cli {

bool createReport(const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-z");
}

bool displaySelfTestInfo(const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-i");
}

}  // namespace veltrion::cli
