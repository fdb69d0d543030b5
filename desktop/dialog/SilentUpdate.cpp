#include "dialog/SilentUpdate.h"

#include "dialog/CameraJob.h"

namespace veltrion::desktop {

int runSilentUpdate(CamMgrModel& model) {
    constexpr int kCameraIndex = 0;
    DeviceStatus status;
    if (!model.getDeviceStatus(kCameraIndex, status) || !status.infoValid) {
        model.logger().log(kLogError, "getCamInfo: get device status failed for %d\n", kCameraIndex);
        return 1;
    }
    // The camera is fixed here for every step that follows.
    auto camera = model.resolve(kCameraIndex, "startUpdateProcess");
    if (!camera || !model.identify(*camera, "updateDevice")) return 1;

    bool streaming = false;
    model.isDevStreaming(*camera, streaming);
    if (streaming) {
        model.logger().log(kLogError, "silent update: Veltrion Camera is in Use, not updating\n");
        return 5;
    }

    CameraJob job(model, *camera, std::string());
    int exitCode = 2;
    if (job.updateFirmware()) {
        exitCode = 3;
        if (job.programFeatureDefaults()) {
            exitCode = 4;
            if (job.programCamControlDefaults()) exitCode = 0;
        }
    }
    job.reboot();
    return exitCode;
}

}  // namespace veltrion::desktop
