#include "dialog/CameraJob.h"

#include "control/CamControlDefaults.h"
#include "features/FeatureDefaults.h"

namespace veltrion::desktop {

bool CameraJob::updateFirmware() { return model_.updateDevice(camera_, targetIdentity_); }

bool CameraJob::programFeatureDefaults() { return programDefaultFeatureValues(model_, camera_); }

bool CameraJob::programCamControlDefaults() { return programDefaultCamControls(model_, camera_); }

void CameraJob::reboot() { model_.rebootDevice(camera_); }

int CameraJob::runUpdateSequence() {
    int exitCode = 0;
    if (!updateFirmware())
        exitCode = 2;
    else if (!programFeatureDefaults())
        exitCode = 3;
    else if (!programCamControlDefaults())
        model_.logger().log(kLogError, "updateThreadProc: failed to program default cam filter control!\n");
    return exitCode;
}

}  // namespace veltrion::desktop
