#pragma once

// "PTZ Controls": zoom, pan and tilt (degrees), "Reset" to the camera's
// defaults, "Save" as the pan/tilt/zoom preset, and the note that says when
// pan, tilt and zoom have no effect.

#include "control/SliderGroup.h"

class QLabel;

namespace veltrion::desktop {

class PtzControlsBox : public SliderGroup {
    Q_OBJECT

public:
    explicit PtzControlsBox(DialogServices& services, QWidget* parent = nullptr);

    // Sliders and "Reset" usable or not, with the note saying why; "Save" is
    // disabled with them, and enabled again only with offerSave.
    void setAvailable(bool available, const QString& note, bool offerSave);
    QLabel* note() const { return note_; }

protected:
    void readingShown(PropertySlider& slider, const PropertyReading& reading) override;
    void resetClicked() override;
    void saveClicked() override;

private:
    PropertySlider* sliders_[3] = {};  // zoom, pan, tilt
    QLabel* note_ = nullptr;
    bool available_ = true;
};

}  // namespace veltrion::desktop
