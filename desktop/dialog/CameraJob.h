#pragma once

// The steps of a firmware update job on one camera, resolved once when the
// job starts: the update thread and silent mode run the same steps on the
// same CameraRef, never looking the list index up again.

#include <string>

#include "model/CamMgrModel.h"

namespace veltrion::desktop {

class CameraJob {
public:
    // camera must be identified (serial and USB ids read).
    CameraJob(CamMgrModel& model, CameraRef camera, std::string targetIdentity)
        : model_(model), camera_(std::move(camera)), targetIdentity_(std::move(targetIdentity)) {}

    const CameraRef& camera() const { return camera_; }

    // The firmware update from the model's image (for the target identity
    // when one is set).
    bool updateFirmware();
    // The factory values of every feature of the image's feature JSON.
    bool programFeatureDefaults();
    // The image-control defaults of the feature JSON's "Filter Control".
    bool programCamControlDefaults();
    void reboot();

    // The update thread's steps before its reboot: exit code 0, 2 (update
    // failed) or 3 (feature defaults failed); a failure of the image-control
    // defaults is only logged. A failed job leaves the camera as the steps
    // left it, without a reboot.
    int runUpdateSequence();

private:
    CamMgrModel& model_;
    CameraRef camera_;
    std::string targetIdentity_;
};

}  // namespace veltrion::desktop
