#pragma once

// The main dialog as a tab page sees it, over a real camera model: camera 0
// selected, its serial read once; reboots and held controls are recorded.

#include <QFont>
#include <QWidget>
#include <vector>

#include "dialog/DialogServices.h"

namespace veltrion::desktop::test {

class StandInServices : public DialogServices {
public:
    explicit StandInServices(CamMgrModel& model) : model_(model) {
        DeviceStatus status;
        if (model_.getDeviceStatus(index, status)) serial = status.serialNumber;
    }

    CamMgrModel& model() override { return model_; }
    int selectedDeviceIndex() const override { return index; }
    std::string selectedSerial() const override { return serial; }
    bool getCamInfo(DeviceStatus& status) override { return model_.getDeviceStatus(index, status); }
    bool isCamStreaming() override { return false; }
    void rebootCamera(const CameraRef&, bool restartTimer1) override { reboots.push_back(restartTimer1); }
    void disableUpdateControls() override {}
    void holdControlForAMoment(QWidget* control) override {
        control->setEnabled(false);
        held.push_back(control);
    }
    void showUpdateTabOnly() override {}
    void startUpdate() override {}
    void setIdentityMode(bool, const std::string&) override {}
    QFont dialogFont() const override { return QFont(QStringLiteral("Arial")); }

    int index = 0;
    std::string serial;
    std::vector<bool> reboots;
    std::vector<QWidget*> held;

private:
    CamMgrModel& model_;
};

}  // namespace veltrion::desktop::test
