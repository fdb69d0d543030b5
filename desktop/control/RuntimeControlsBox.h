#pragma once

// "Runtime Controls": the camera's automatic framing and image enhancement
// switches and face boxes in the video. Each is written only when the user
// clicks it; a write that fails puts the box back to what the camera has.

#include <string>

#include <QGroupBox>

class QCheckBox;

namespace veltrion::desktop {

class DialogServices;

class RuntimeControlsBox : public QGroupBox {
    Q_OBJECT

public:
    explicit RuntimeControlsBox(DialogServices& services, QWidget* parent = nullptr);

    // Reads both switches' state from the selected camera (nothing is
    // written). Without a serial number every switch stays disabled.
    void setUp();
    // Shows no camera: every switch disabled.
    void clear();
    bool framingOn() const;

    QCheckBox* framingSwitch() const { return framing_; }
    QCheckBox* enhancementSwitch() const { return enhancement_; }
    QCheckBox* faceBoxSwitch() const { return faceBox_; }

signals:
    // The framing switch was clicked and the camera now has framing on or off.
    void framingSwitched(bool on);

private:
    void setUpSwitch(int type);
    void framingClicked(bool on);
    void enhancementClicked(bool on);
    void faceBoxClicked(bool on);

    DialogServices& services_;
    QCheckBox* framing_;
    QCheckBox* enhancement_;
    QCheckBox* faceBox_;
    std::string shownSerial_;  // the camera the switches were read from
};

}  // namespace veltrion::desktop
