#pragma once

#include "model/CamMgrModel.h"

namespace veltrion::desktop {

// Exit codes of silent mode.
enum SilentExitCode {
    kSilentUpdated = 0,
    kSilentNoCamera = 1,                  // no camera, or its status unreadable
    kSilentUpdateFailed = 2,              // the firmware update failed
    kSilentFeatureDefaultsFailed = 3,
    kSilentCamControlDefaultsFailed = 4,
    kSilentStreaming = 5,                 // the camera streams; left untouched
    kSilentAnotherCopyRuns = 6,           // nothing was done
};

// The unattended update of the first camera in the list, without a window.
// The camera is rebooted after the update steps ran (codes 0, 2, 3 and 4).
int runSilentUpdate(CamMgrModel& model);

}  // namespace veltrion::desktop
