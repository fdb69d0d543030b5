#pragma once

// A group of property sliders with "Reset" and "Save" buttons. A slider the
// user moves is written to the camera at once (capture source opened for the
// action), and a successful write enables "Save" until the group's settings
// are stored as a preset.

#include <memory>
#include <string>
#include <vector>

#include <QGroupBox>

#include "control/PropertySlider.h"

class QGridLayout;
class QPushButton;

namespace veltrion::desktop {

class DialogServices;

struct SliderDefinition {
    CameraProperty property;
    const char* caption;
    const char* name;         // objectName stem
    const char* setFailed;    // message box when a write fails
    const char* rangeFailed;  // log line when the reading fails
};

class SliderGroup : public QGroupBox {
    Q_OBJECT

public:
    // Reads every slider's value and range from the capture source of the
    // camera with the serial (nothing is written). An unreadable property is
    // logged and its slider disabled.
    void readRanges(UVCControl* control, const std::string& serial);
    // Shows no camera: every slider disabled, nothing to save.
    void clear();

    QPushButton* resetButton() const { return reset_; }
    QPushButton* saveButton() const { return save_; }

protected:
    SliderGroup(DialogServices& services, const QString& title, const QString& name, QWidget* parent);

    PropertySlider* addSlider(const SliderDefinition& definition);
    // Buttons below the sliders; returns the row after them.
    int addButtons(const QString& resetName, const QString& saveName);
    QGridLayout& grid() const { return *grid_; }

    // A reading was shown on a slider; the default enables it unless the
    // property is automatic.
    virtual void readingShown(PropertySlider& slider, const PropertyReading& reading);
    // The property could not be read; its slider is already disabled.
    virtual void readingFailed(PropertySlider&) {}
    // The automatic flag a write of this slider carries.
    virtual bool writesAutomatic(const PropertySlider&) const { return false; }
    virtual void resetClicked() = 0;
    virtual void saveClicked() = 0;

    // The capture source of the camera the sliders show, for one action;
    // null after a log line when that camera is no longer the selected one.
    std::unique_ptr<UVCControl> shownSource(const char* caller);
    // Writes value; a failure shows the slider's message box.
    bool writeProperty(UVCControl* control, PropertySlider& slider, long value);
    // Slider, field and camera back to the default; false (message box
    // shown) on the first failure.
    bool resetToDefault(UVCControl* control, PropertySlider& slider);

    DialogServices& services_;
    std::string shownSerial_;  // the camera the readings came from

private:
    void onMoved(PropertySlider& slider, long position);
    const char* setFailedMessage(const PropertySlider& slider) const;

    QGridLayout* grid_;
    QPushButton* reset_ = nullptr;
    QPushButton* save_ = nullptr;
    struct Entry {
        PropertySlider* slider;
        SliderDefinition definition;
    };
    std::vector<Entry> entries_;
};

}  // namespace veltrion::desktop
