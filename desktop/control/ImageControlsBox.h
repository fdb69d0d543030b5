#pragma once

// "Camera Controls": brightness, contrast, saturation, sharpness and white
// balance with its "Auto" switch; "Reset" restores the camera's defaults,
// "Save" stores the settings as image-control preset 9.

#include "control/SliderGroup.h"

class QCheckBox;

namespace veltrion::desktop {

class ImageControlsBox : public SliderGroup {
    Q_OBJECT

public:
    explicit ImageControlsBox(DialogServices& services, QWidget* parent = nullptr);

    QCheckBox* autoWhiteBalance() const { return autoWhiteBalance_; }

protected:
    void readingShown(PropertySlider& slider, const PropertyReading& reading) override;
    void readingFailed(PropertySlider& slider) override;
    bool writesAutomatic(const PropertySlider& slider) const override;
    void resetClicked() override;
    void saveClicked() override;

private:
    void autoClicked(bool automatic);

    PropertySlider* sliders_[4] = {};  // brightness, contrast, saturation, sharpness
    PropertySlider* whiteBalance_ = nullptr;
    QCheckBox* autoWhiteBalance_ = nullptr;
    bool whiteBalanceAutomatic_ = false;
};

}  // namespace veltrion::desktop
