#include "control/ControlTab.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "control/CameraProperty.h"
#include "control/CustomCameraNameBox.h"
#include "control/FieldOfView.h"
#include "control/ImageControlsBox.h"
#include "control/PtzControlsBox.h"
#include "control/RuntimeControlsBox.h"
#include "dialog/DialogServices.h"

namespace veltrion::desktop {

namespace {
constexpr const char* kUnknownSerial = "???";
}

ControlTab::ControlTab(DialogServices& services, QWidget* parent) : QWidget(parent), services_(services) {
    setObjectName(QStringLiteral("controlTab"));
    image_ = new ImageControlsBox(services, this);
    ptz_ = new PtzControlsBox(services, this);
    runtime_ = new RuntimeControlsBox(services, this);
    customName_ = new CustomCameraNameBox(services, this);

    auto* right = new QVBoxLayout;
    right->addWidget(runtime_);
    right->addWidget(customName_);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(image_, 3);
    layout->addWidget(ptz_, 3);
    layout->addLayout(right, 2);

    connect(runtime_, &RuntimeControlsBox::framingSwitched, this, &ControlTab::framingSwitched);
}

bool ControlTab::getFoV(int& degrees) { return readFieldOfView(services_, degrees); }

void ControlTab::showTab() {
    runtime_->setUp();
    int fieldOfView = kFullFieldOfView;
    if (!getFoV(fieldOfView)) {
        services_.logger().log(kLogError, "showTabView: FAILED to get FOV. Assume it is 180\n");
        fieldOfView = kFullFieldOfView;
    }
    const std::string serial = services_.selectedSerial();
    if (serial.empty() || serial == kUnknownSerial) {
        image_->clear();
        ptz_->clear();
        customName_->clear();
        return;
    }
    {
        // One capture source for all readings, closed before anything else.
        const auto control = openCaptureSource(serial);
        image_->readRanges(control.get(), serial);
        ptz_->readRanges(control.get(), serial);
    }
    showPtzAvailability(fieldOfView, false);
    customName_->readState();
}

void ControlTab::clear() {
    runtime_->clear();
    image_->clear();
    ptz_->clear();
    customName_->clear();
}

void ControlTab::showPtzAvailability(int fieldOfView, bool offerSave) {
    if (runtime_->framingOn())
        ptz_->setAvailable(false, tr("Smart Framing is on"), offerSave);
    else if (fieldOfView == kFullFieldOfView)
        ptz_->setAvailable(true, tr("(PTZ has no effect on 3840 resolution)"), offerSave);
    else
        ptz_->setAvailable(false, tr("Field of View is not 180"), offerSave);
}

void ControlTab::framingSwitched(bool on) {
    int fieldOfView = kFullFieldOfView;
    // Switching framing off makes pan, tilt and zoom usable again only at
    // the full field of view.
    if (!on && !getFoV(fieldOfView)) fieldOfView = kFullFieldOfView;
    showPtzAvailability(fieldOfView, true);
}

}  // namespace veltrion::desktop
