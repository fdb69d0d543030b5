#pragma once

// What the tab pages may ask of the main dialog. The dialog implements it;
// tests may give a page a small stand-in.

#include <optional>
#include <string>

#include "model/CamMgrModel.h"
#include "model/DeviceStatus.h"

class QWidget;
class QFont;

namespace veltrion::desktop {

class DialogServices {
public:
    virtual ~DialogServices() = default;

    virtual CamMgrModel& model() = 0;
    Logger& logger() { return model().logger(); }

    // The selected camera's list index, or -1.
    virtual int selectedDeviceIndex() const = 0;
    // The selected camera's serial number; empty while no camera is known.
    virtual std::string selectedSerial() const = 0;
    // The selected camera's status, from the cache or the camera.
    virtual bool getCamInfo(DeviceStatus& status) = 0;
    // False (not streaming) when it cannot be told.
    virtual bool isCamStreaming() = 0;
    // Reboots the camera an action wrote; with restartTimer1 the status timer
    // starts again.
    virtual void rebootCamera(const CameraRef& camera, bool restartTimer1) = 0;
    // Disables the controls that could start another camera job (update
    // button, "Apply Changes", quick setup button, tabs, camera combo).
    virtual void disableUpdateControls() = 0;
    // Disables the control now and enables it again 500 ms later (timer 4).
    virtual void holdControlForAMoment(QWidget* control) = 0;
    // Removes every tab but "Update" and shows it.
    virtual void showUpdateTabOnly() = 0;
    // Starts the firmware update as the update button does; in identity mode
    // the update programs the target identity's firmware.
    virtual void startUpdate() = 0;
    virtual void setIdentityMode(bool on, const std::string& targetIdentity) = 0;
    // The dialog's "Arial" font for titles, descriptions and result texts.
    virtual QFont dialogFont() const = 0;

    // ---- the camera a page was built for ----
    // Every page, tab and box remembers the serial number of the camera it
    // was built for (selectedSerial() then). An action goes to the camera
    // only while that camera is still the selected one.

    // The selected camera for an action of a page built for shownSerial,
    // resolved and asked for its serial now. None after one log line when no
    // camera is selected ("<caller>: invalid device index %d") or when the
    // selected camera is another one than the page shows; nothing is written.
    std::optional<CameraRef> shownCamera(const std::string& shownSerial, const char* caller, const char* operation);
    // The same check for an action that addresses the camera by its serial.
    bool shownCameraSelected(const std::string& shownSerial, const char* caller);
};

}  // namespace veltrion::desktop
