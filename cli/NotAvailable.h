#pragma once

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// An action this build cannot carry out yet fails with one clear line rather
// than pretending success.
inline bool notAvailable(Veltrion2CamMgr& mgr, const char* action) {
    mgr.logger().log(kLogError, "%s: not available in this build\n", action);
    return false;
}

}  // namespace veltrion::cli
