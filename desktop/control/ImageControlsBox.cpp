#include "control/ImageControlsBox.h"

#include <iterator>

#include <QCheckBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSlider>

#include "dialog/DialogServices.h"
#include "dialog/MessageBox.h"

namespace veltrion::desktop {

namespace {

constexpr long kWhiteBalance = 7;
constexpr int kImagePresetButton = 9;

const SliderDefinition kDefinitions[] = {
    {CameraProperty::processing(0), "Brightness", "brightness", "OnHScroll: Set Brightness Failed!",
     "initSliders: failed to get brightness range\n"},
    {CameraProperty::processing(1), "Contrast", "contrast", "OnHScroll: Set Contrast Failed!",
     "initSliders: failed to get contrast range\n"},
    {CameraProperty::processing(3), "Saturation", "saturation", "OnHScroll: Set Saturation Failed!",
     "initSliders: failed to get saturation range\n"},
    {CameraProperty::processing(4), "Sharpness", "sharpness", "OnHScroll: Set Sharpness Failed!",
     "initSliders: failed to get sharpness range\n"},
};
const SliderDefinition kWhiteBalanceDefinition = {CameraProperty::processing(kWhiteBalance), "White Bal.", "whiteBalance",
                                      "OnHScroll: Set Whitebalance Failed!",
                                      "initSliders: failed to get white balance range\n"};

}  // namespace

ImageControlsBox::ImageControlsBox(DialogServices& services, QWidget* parent)
    : SliderGroup(services, tr("Camera Controls"), QStringLiteral("cameraControlsGroup"), parent) {
    for (size_t i = 0; i < std::size(kDefinitions); ++i) sliders_[i] = addSlider(kDefinitions[i]);
    whiteBalance_ = addSlider(kWhiteBalanceDefinition);
    autoWhiteBalance_ = new QCheckBox(tr("Auto"));
    autoWhiteBalance_->setObjectName(QStringLiteral("whiteBalanceAutoCheck"));
    autoWhiteBalance_->setEnabled(false);  // until white balance was read
    grid().addWidget(autoWhiteBalance_, grid().rowCount() - 1, 3);
    addButtons(QStringLiteral("imageResetButton"), QStringLiteral("imageSaveButton"));
    // clicked, not toggled: showing the camera's state must not write it back.
    connect(autoWhiteBalance_, &QCheckBox::clicked, this, &ImageControlsBox::autoClicked);
}

void ImageControlsBox::readingShown(PropertySlider& slider, const PropertyReading& reading) {
    SliderGroup::readingShown(slider, reading);
    if (&slider != whiteBalance_) return;
    whiteBalanceAutomatic_ = reading.automatic;
    autoWhiteBalance_->setEnabled(true);
    autoWhiteBalance_->setChecked(reading.automatic);
}

void ImageControlsBox::readingFailed(PropertySlider& slider) {
    // The mode shown would be another camera's (or a guess).
    if (&slider == whiteBalance_) autoWhiteBalance_->setEnabled(false);
}

bool ImageControlsBox::writesAutomatic(const PropertySlider& slider) const {
    return &slider == whiteBalance_ && whiteBalanceAutomatic_;
}

void ImageControlsBox::resetClicked() {
    const auto control = shownSource("OnBnClickedButtonCamControlReset");
    for (PropertySlider* slider : sliders_)
        if (!resetToDefault(control.get(), *slider)) return;
    if (!whiteBalanceAutomatic_ && !resetToDefault(control.get(), *whiteBalance_)) return;
    saveButton()->setEnabled(true);
}

void ImageControlsBox::saveClicked() {
    const auto camera = services_.shownCamera(shownSerial_, "OnClickedButtonCamControlApply", "saveFilterControlPreset");
    if (!camera || !services_.model().saveFilterControlPreset(*camera, kImagePresetButton)) {
        showMessageBox(this, tr("Failed to save Control Preset!"));
        return;
    }
    saveButton()->setEnabled(false);
}

void ImageControlsBox::autoClicked(bool automatic) {
    const auto control = shownSource("OnBnClickedCheckAuto");
    // Going manual keeps the position the slider shows (the camera's value
    // when it was read, or where the user left it).
    if (!control || !whiteBalance_->property().write(*control, automatic, whiteBalance_->position())) {
        showMessageBox(this, QString::fromUtf8(kWhiteBalanceDefinition.setFailed));
        autoWhiteBalance_->setChecked(whiteBalanceAutomatic_);  // the camera kept its mode
        return;
    }
    whiteBalanceAutomatic_ = automatic;
    whiteBalance_->slider()->setEnabled(!automatic);
}

}  // namespace veltrion::desktop
