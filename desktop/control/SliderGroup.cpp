#include "control/SliderGroup.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>

#include "dialog/DialogServices.h"
#include "dialog/MessageBox.h"

namespace veltrion::desktop {

SliderGroup::SliderGroup(DialogServices& services, const QString& title, const QString& name, QWidget* parent)
    : QGroupBox(title, parent), services_(services), grid_(new QGridLayout(this)) {
    setObjectName(name);
}

PropertySlider* SliderGroup::addSlider(const SliderDefinition& definition) {
    const int row = static_cast<int>(entries_.size());
    auto* slider = new PropertySlider(definition.property, QString::fromUtf8(definition.caption), QString::fromUtf8(definition.name),
                                      *grid_, row, this);
    connect(slider, &PropertySlider::moved, this, [this, slider](long position) { onMoved(*slider, position); });
    entries_.push_back({slider, definition});
    return slider;
}

int SliderGroup::addButtons(const QString& resetName, const QString& saveName) {
    auto* buttons = new QHBoxLayout;
    reset_ = new QPushButton(tr("Reset"));
    reset_->setObjectName(resetName);
    save_ = new QPushButton(tr("Save"));
    save_->setObjectName(saveName);
    save_->setEnabled(false);  // nothing changed yet
    buttons->addStretch();
    buttons->addWidget(reset_);
    buttons->addWidget(save_);
    const int row = grid_->rowCount();
    grid_->addLayout(buttons, row, 0, 1, grid_->columnCount());
    // Rows keep their height; the room left goes below the row after the buttons.
    grid_->setRowStretch(row + 2, 1);
    connect(reset_, &QPushButton::clicked, this, [this] { resetClicked(); });
    connect(save_, &QPushButton::clicked, this, [this] { saveClicked(); });
    return row + 1;
}

void SliderGroup::readRanges(UVCControl* control, const std::string& serial) {
    shownSerial_ = serial;
    reset_->setEnabled(true);
    for (Entry& entry : entries_) {
        PropertyReading reading;
        if (!control || !entry.slider->property().read(*control, reading)) {
            services_.logger().log(kLogError, "%s", entry.definition.rangeFailed);
            entry.slider->forgetReading();
            readingFailed(*entry.slider);
            continue;
        }
        entry.slider->showReading(reading);
        readingShown(*entry.slider, reading);
    }
}

void SliderGroup::clear() {
    shownSerial_.clear();
    for (Entry& entry : entries_) {
        entry.slider->forgetReading();
        readingFailed(*entry.slider);
    }
    reset_->setEnabled(false);
    save_->setEnabled(false);
}

std::unique_ptr<UVCControl> SliderGroup::shownSource(const char* caller) {
    if (!services_.shownCameraSelected(shownSerial_, caller)) return nullptr;
    return openCaptureSource(shownSerial_);
}

void SliderGroup::readingShown(PropertySlider& slider, const PropertyReading& reading) {
    slider.slider()->setEnabled(!reading.automatic);
}

const char* SliderGroup::setFailedMessage(const PropertySlider& slider) const {
    for (const Entry& entry : entries_)
        if (entry.slider == &slider) return entry.definition.setFailed;
    return "";
}

bool SliderGroup::writeProperty(UVCControl* control, PropertySlider& slider, long value) {
    if (control && slider.property().write(*control, writesAutomatic(slider), value)) return true;
    showMessageBox(this, QString::fromUtf8(setFailedMessage(slider)));
    return false;
}

void SliderGroup::onMoved(PropertySlider& slider, long position) {
    const auto control = shownSource("OnHScroll");
    if (writeProperty(control.get(), slider, position)) save_->setEnabled(true);
}

bool SliderGroup::resetToDefault(UVCControl* control, PropertySlider& slider) {
    // Without a reading there is no default to go back to.
    if (!slider.defaultKnown()) {
        showMessageBox(this, QString::fromUtf8(setFailedMessage(slider)));
        return false;
    }
    slider.showValue(slider.defaultValue());
    return writeProperty(control, slider, slider.defaultValue());
}

}  // namespace veltrion::desktop
