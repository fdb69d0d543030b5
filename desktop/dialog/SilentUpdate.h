#pragma once

#include "model/CamMgrModel.h"

namespace veltrion::desktop {

// The unattended update of the first camera in the list, without a window.
// Exit codes: 0 done; 1 no camera or its status unreadable; 2 firmware update
// failed; 3 feature defaults failed; 4 image-control defaults failed; 5 the
// camera is streaming (left untouched). The camera is rebooted after the
// update steps ran (codes 0, 2, 3 and 4).
int runSilentUpdate(CamMgrModel& model);

}  // namespace veltrion::desktop
