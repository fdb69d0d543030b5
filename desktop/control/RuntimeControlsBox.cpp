#include "control/RuntimeControlsBox.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "dialog/DialogServices.h"

namespace veltrion::desktop {

namespace {

constexpr int kFraming = 0;
constexpr int kEnhancement = 1;

struct SwitchCaptions {
    const char* on;
    const char* disabled;
    const char* notReady;
};
constexpr SwitchCaptions kCaptions[] = {
    {"Smart Framing ON", "Smart Framing Disabled", "Smart Framing Not Ready"},
    {"Veltrion Lumo ON", "Veltrion Lumo Disabled", "Veltrion Lumo Not Ready"},
};

}  // namespace

RuntimeControlsBox::RuntimeControlsBox(DialogServices& services, QWidget* parent)
    : QGroupBox(tr("Runtime Controls"), parent), services_(services) {
    setObjectName(QStringLiteral("runtimeControlsGroup"));
    framing_ = new QCheckBox(QString::fromUtf8(kCaptions[kFraming].on));
    framing_->setObjectName(QStringLiteral("framingSwitch"));
    enhancement_ = new QCheckBox(QString::fromUtf8(kCaptions[kEnhancement].on));
    enhancement_->setObjectName(QStringLiteral("enhancementSwitch"));
    faceBox_ = new QCheckBox(tr("Turn ON Face Box in Video"));
    faceBox_->setObjectName(QStringLiteral("faceBoxSwitch"));
    clear();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(framing_);
    layout->addWidget(enhancement_);
    layout->addWidget(faceBox_);
    // clicked, not toggled: only the user's click is sent to the camera.
    connect(framing_, &QCheckBox::clicked, this, &RuntimeControlsBox::framingClicked);
    connect(enhancement_, &QCheckBox::clicked, this, &RuntimeControlsBox::enhancementClicked);
    connect(faceBox_, &QCheckBox::clicked, this, &RuntimeControlsBox::faceBoxClicked);
}

bool RuntimeControlsBox::framingOn() const { return framing_->isChecked(); }

void RuntimeControlsBox::setUp() {
    clear();
    shownSerial_ = services_.selectedSerial();
    setUpSwitch(kFraming);
    setUpSwitch(kEnhancement);
    // Face boxes are addressed by the camera's serial number too.
    faceBox_->setEnabled(!shownSerial_.empty());
}

void RuntimeControlsBox::clear() {
    shownSerial_.clear();
    for (int type : {kFraming, kEnhancement}) {
        QCheckBox* box = type == kFraming ? framing_ : enhancement_;
        box->setEnabled(false);
        box->setChecked(false);
        box->setText(QString::fromUtf8(kCaptions[type].on));
    }
    faceBox_->setEnabled(false);
    faceBox_->setChecked(false);
}

void RuntimeControlsBox::setUpSwitch(int type) {
    QCheckBox* box = type == kFraming ? framing_ : enhancement_;
    if (shownSerial_.empty()) {
        services_.logger().log(kLogError, "setupFeatureRunTime: no serial number! type = %d\n", type);
        return;
    }
    bool on = false, ready = false, available = false;
    if (!services_.model().getRunTimeStatus(type, shownSerial_, on, ready, available)) return;
    const SwitchCaptions& captions = kCaptions[type];
    if (ready && available) {
        box->setEnabled(true);
        box->setText(QString::fromUtf8(captions.on));
        box->setChecked(on);
    } else {
        box->setText(QString::fromUtf8(ready ? captions.disabled : captions.notReady));
    }
}

void RuntimeControlsBox::framingClicked(bool on) {
    if (shownSerial_.empty()) {
        services_.logger().log(kLogError, "ASF runtime no serial number!\n");
        framing_->setChecked(!on);
        return;
    }
    if (!services_.shownCameraSelected(shownSerial_, "OnBnClickedSmartFraming")) {
        framing_->setChecked(!on);
        return;
    }
    if (services_.model().setRunTimeStatus(kFraming, shownSerial_, on)) {
        emit framingSwitched(on);
    } else {
        services_.logger().log(kLogError, on ? "failed to enable ASF run time\n" : "failed to disable ASF run time\n");
        framing_->setChecked(!on);  // the camera kept its framing state
    }
    services_.holdControlForAMoment(framing_);
}

void RuntimeControlsBox::enhancementClicked(bool on) {
    if (shownSerial_.empty()) {
        services_.logger().log(kLogError, "LUMO runtime no serial number!\n");
        enhancement_->setChecked(!on);
        return;
    }
    if (!services_.shownCameraSelected(shownSerial_, "OnBnClickedLumo")) {
        enhancement_->setChecked(!on);
        return;
    }
    if (!services_.model().setRunTimeStatus(kEnhancement, shownSerial_, on)) {
        services_.logger().log(kLogError, on ? "failed to enable LUMO run time\n" : "failed to disable LUMO run time\n");
        enhancement_->setChecked(!on);
    }
}

void RuntimeControlsBox::faceBoxClicked(bool on) {
    if (shownSerial_.empty()) {
        services_.logger().log(kLogError, "Face Box runtime no serial number!\n");
        faceBox_->setChecked(!on);
        return;
    }
    const auto camera = services_.shownCamera(shownSerial_, "OnBnClickedFaceBoxCheck", "turnOnOffFaceBox");
    if (!camera) {
        faceBox_->setChecked(!on);
        return;
    }
    if (!services_.model().turnOnOffFaceBox(*camera, on)) {
        services_.logger().log(kLogError, "Face Box runtime failed!\n");
        faceBox_->setChecked(!on);
    }
}

}  // namespace veltrion::desktop
