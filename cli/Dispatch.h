#pragma once

#include <string>
#include <vector>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// What one run needs to carry out its action.
struct ActionContext {
    Veltrion2CamMgr& mgr;
    const std::vector<std::string>& args;  // after -o and --uvc were taken out
    bool useVendorChannel;
    unsigned jobs = 0;  // --jobs: cameras -p all updates at once; 0 for one after the other
};

// Usage: the action is unknown or its arguments do not fit its count rule.
enum class ActionResult { Success, Failure, Usage };

// Runs the action named by args[1] (options are recognised there only).
ActionResult dispatchAction(ActionContext& context);

}  // namespace veltrion::cli
