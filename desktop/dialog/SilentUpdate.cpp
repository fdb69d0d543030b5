#include "dialog/SilentUpdate.h"

#include "dialog/CameraJob.h"

namespace veltrion::desktop {

int runSilentUpdate(CamMgrModel& model) {
    constexpr int kCameraIndex = 0;
    Logger& log = model.logger();

    // 1: the camera's status and serial number.
    DeviceStatus status;
    if (!model.getDeviceStatus(kCameraIndex, status) || !status.infoValid) {
        log.log(kLogError, "getCamInfo: get device status failed for %d\n", kCameraIndex);
        return kSilentNoCamera;
    }
    log.log(kLogInfo, "getCamInfo: get device status  %d\n", status.infoValid ? 1 : 0);

    // The camera is fixed here for every step that follows.
    std::optional<CameraRef> camera = model.resolve(kCameraIndex, "isDevStreaming");

    // 2: a streaming camera is neither written nor rebooted. A camera that
    // cannot tell is taken as not streaming.
    bool streaming = false;
    if (!camera || !model.isDevStreaming(*camera, streaming)) {
        log.log(kLogError, "isCamStreaming: failed to get streaming status\n");
        streaming = false;
    }
    if (streaming) {
        log.log(kLogError, "silent update: Veltrion Camera is in Use, not updating\n");
        return kSilentStreaming;
    }

    // 3 to 5, each with its own code; the camera is rebooted after them
    // whatever their outcome.
    int exitCode = kSilentUpdateFailed;
    if (camera && model.identify(*camera, "updateDevice")) {
        CameraJob job(model, *camera, std::string());
        if (job.updateFirmware()) {
            exitCode = kSilentFeatureDefaultsFailed;
            if (job.programFeatureDefaults()) {
                exitCode = kSilentCamControlDefaultsFailed;
                if (job.programCamControlDefaults()) exitCode = kSilentUpdated;
            }
        }
    } else if (!camera) {
        log.log(kLogError, "updateDevice: no cam!\n");
    }
    if (camera)
        model.rebootDevice(*camera);
    else
        log.log(kLogError, "rebootDevice: no cam!\n");
    return exitCode;
}

}  // namespace veltrion::desktop
