#include "control/CameraProperty.h"

namespace veltrion::desktop {

bool CameraProperty::read(UVCControl& control, PropertyReading& reading) const {
    if (!ptz_)
        return control.getCameraControlProperty(type_, reading.value, reading.automatic, reading.minimum,
                                                 reading.maximum, reading.defaultValue, reading.step);
    reading.automatic = false;
    return control.getPtzProperty(axis_, reading.value, reading.minimum, reading.maximum, reading.defaultValue,
                                  reading.step);
}

bool CameraProperty::write(UVCControl& control, bool automatic, long value) const {
    if (ptz_) return !automatic && control.setPtzProperty(axis_, value);
    return control.setCameraControlProperty(type_, automatic, value);
}

std::unique_ptr<UVCControl> openCaptureSource(const std::string& serial) {
    if (serial.empty()) return nullptr;
    auto control = std::make_unique<UVCControl>(0, serial);
    if (!control->getSource()) return nullptr;
    return control;
}

}  // namespace veltrion::desktop
