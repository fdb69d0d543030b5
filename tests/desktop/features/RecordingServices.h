#pragma once

// The main dialog as the feature pages see it, over a real camera model:
// camera 0 selected; reboots, identity mode, update starts and disabled
// controls are recorded instead of acted on.

#include <QFont>
#include <QTimer>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "dialog/DialogServices.h"

namespace veltrion::desktop::test {

class RecordingServices : public DialogServices {
public:
    explicit RecordingServices(CamMgrModel& model) : model_(model) {}

    CamMgrModel& model() override { return model_; }
    int selectedDeviceIndex() const override { return index; }
    std::string selectedSerial() const override {
        DeviceStatus status;
        return model_.getDeviceStatus(index, status) ? status.serialNumber : std::string();
    }
    bool getCamInfo(DeviceStatus& status) override { return model_.getDeviceStatus(index, status) && status.infoValid; }
    bool isCamStreaming() override {
        bool streaming = false;
        const auto camera = model_.resolve(index, "isCamStreaming");
        return camera && model_.isDevStreaming(*camera, streaming) && streaming;
    }
    void rebootCamera(const CameraRef&, bool restartTimer1) override { reboots.push_back(restartTimer1); }
    void disableUpdateControls() override { ++updateControlsDisabled; }
    // A short hold keeps the tests quick; the dialog holds for 500 ms.
    void holdControlForAMoment(QWidget* control) override {
        control->setEnabled(false);
        QTimer::singleShot(10, control, [control] { control->setEnabled(true); });
    }
    void showUpdateTabOnly() override { ++updateTabOnlyShown; }
    void startUpdate() override { ++updatesStarted; }
    void setIdentityMode(bool on, const std::string& target) override { identityModes.emplace_back(on, target); }
    QFont dialogFont() const override { return QFont(QStringLiteral("Arial")); }

    int index = 0;
    std::vector<bool> reboots;
    int updateControlsDisabled = 0;
    int updateTabOnlyShown = 0;
    int updatesStarted = 0;
    std::vector<std::pair<bool, std::string>> identityModes;

private:
    CamMgrModel& model_;
};

}  // namespace veltrion::desktop::test
