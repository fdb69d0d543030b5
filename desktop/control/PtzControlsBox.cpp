#include "control/PtzControlsBox.h"

#include <iterator>

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "dialog/DialogServices.h"
#include "dialog/MessageBox.h"

namespace veltrion::desktop {

namespace {

using Axis = UVCControl::PtzAxis;

const SliderDefinition kDefinitions[] = {
    {CameraProperty::ptz(Axis::Zoom), "Zoom", "zoom", "OnHScroll: Set Zoom Failed!",
     "initSliders: failed to get zoom range\n"},
    {CameraProperty::ptz(Axis::Pan), "Pan", "pan", "OnHScroll: Set Pan Failed!",
     "initSliders: failed to get pan range\n"},
    {CameraProperty::ptz(Axis::Tilt), "Tilt", "tilt", "OnHScroll: Set Tilt Failed!",
     "initSliders: failed to get tilt range\n"},
};

}  // namespace

PtzControlsBox::PtzControlsBox(DialogServices& services, QWidget* parent)
    : SliderGroup(services, tr("PTZ Controls"), QStringLiteral("ptzControlsGroup"), parent) {
    for (size_t i = 0; i < std::size(kDefinitions); ++i) sliders_[i] = addSlider(kDefinitions[i]);
    const int row = addButtons(QStringLiteral("ptzResetButton"), QStringLiteral("ptzSaveButton"));
    note_ = new QLabel(tr("(PTZ has no effect on 3840 resolution)"));
    note_->setObjectName(QStringLiteral("ptzNote"));
    note_->setWordWrap(true);
    grid().addWidget(note_, row, 0, 1, grid().columnCount());
}

void PtzControlsBox::setAvailable(bool available, const QString& note, bool offerSave) {
    available_ = available;
    note_->setText(note);
    for (PropertySlider* slider : sliders_) slider->slider()->setEnabled(available && slider->defaultKnown());
    resetButton()->setEnabled(available);
    if (!available || offerSave) saveButton()->setEnabled(available);
}

void PtzControlsBox::readingShown(PropertySlider& slider, const PropertyReading& reading) {
    slider.slider()->setEnabled(available_ && !reading.automatic);
}

void PtzControlsBox::resetClicked() {
    const auto control = shownSource("OnBnClickedButtonPtzReset");
    for (PropertySlider* slider : sliders_)
        if (!resetToDefault(control.get(), *slider)) return;
    saveButton()->setEnabled(true);
}

void PtzControlsBox::saveClicked() {
    const auto camera = services_.shownCamera(shownSerial_, "OnBnClickedButtonPtzSave", "savePTZPreset");
    if (!camera || !services_.model().savePTZPreset(*camera)) {
        showMessageBox(this, tr("Failed to save PTZ Preset!"));
        return;
    }
    saveButton()->setEnabled(false);
}

}  // namespace veltrion::desktop
