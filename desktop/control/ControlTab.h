#pragma once

// The "Control" tab: live image and pan-tilt-zoom controls of the selected
// camera, its presets, its run-time switches and its custom name. Showing the
// tab only reads the camera; every write comes from a user action.

#include <QWidget>

namespace veltrion::desktop {

class DialogServices;
class ImageControlsBox;
class PtzControlsBox;
class RuntimeControlsBox;
class CustomCameraNameBox;

class ControlTab : public QWidget {
    Q_OBJECT

public:
    explicit ControlTab(DialogServices& services, QWidget* parent = nullptr);

    // The tab was shown: run-time switches, field of view, slider ranges and
    // the custom name state, all read from the selected camera.
    void showTab();
    // Shows no camera; the dialog calls it when the selected camera changes
    // while the tab is not in view.
    void clear();
    // The selected camera's field of view in degrees.
    bool getFoV(int& degrees);

    ImageControlsBox* imageControls() const { return image_; }
    PtzControlsBox* ptzControls() const { return ptz_; }
    RuntimeControlsBox* runtimeControls() const { return runtime_; }
    CustomCameraNameBox* customName() const { return customName_; }

private:
    // Pan, tilt and zoom work only without automatic framing and at the full
    // field of view.
    void showPtzAvailability(int fieldOfView, bool offerSave);
    void framingSwitched(bool on);

    DialogServices& services_;
    ImageControlsBox* image_;
    PtzControlsBox* ptz_;
    RuntimeControlsBox* runtime_;
    CustomCameraNameBox* customName_;
};

}  // namespace veltrion::desktop
