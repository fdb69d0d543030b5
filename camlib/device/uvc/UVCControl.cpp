#include "UVCControl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "UVCExtensionUnitManager.h"

namespace veltrion {

namespace {

constexpr long kLastProcessingType = 9;
constexpr long kArcSecondsPerDegree = 3600;

VideoControlId processingControl(long type) { return static_cast<VideoControlId>(type); }

std::optional<VideoControlId> automaticSwitchOf(VideoControlId id) {
    switch (id) {
        case VideoControlId::WhiteBalance: return VideoControlId::WhiteBalanceAuto;
        case VideoControlId::Hue: return VideoControlId::HueAuto;
        default: return std::nullopt;
    }
}

VideoControlId ptzControl(UVCControl::PtzAxis axis) {
    switch (axis) {
        case UVCControl::PtzAxis::Pan: return VideoControlId::Pan;
        case UVCControl::PtzAxis::Tilt: return VideoControlId::Tilt;
        case UVCControl::PtzAxis::Zoom: break;
    }
    return VideoControlId::Zoom;
}

long toDegrees(int32_t arcSeconds) { return std::lround(static_cast<double>(arcSeconds) / kArcSecondsPerDegree); }

}  // namespace

UVCControl::UVCControl(int cameraIndex, const std::string& serial, std::unique_ptr<VideoPort> port)
    : port_(port ? std::move(port) : createVideoPort()) {
    if (!port_) return;
    std::vector<VideoSourceEntry> sources;
    if (port_->listSources(sources) < 0) return;
    // Keys and camera checks as the channel makes them; no hot-plug needed.
    std::vector<CameraSource> cameras;
    for (const auto& entry : sources) {
        CameraSource camera;
        if (UVCExtensionUnitManager::getVeltrionNameAndSerial(entry, AcceptedProducts::Desktop, camera))
            cameras.push_back(std::move(camera));
    }
    const CameraSource* chosen = nullptr;
    for (const auto& camera : cameras) {
        if (!serial.empty() && camera.serial == serial) {
            chosen = &camera;
            break;
        }
    }
    if (serial.empty() && cameraIndex >= 0 && static_cast<size_t>(cameraIndex) < cameras.size())
        chosen = &cameras[static_cast<size_t>(cameraIndex)];
    if (!chosen) return;
    symbolicLink_ = chosen->symbolicLink;
    friendlyName_ = chosen->friendlyName;
    getSource();
}

UVCControl::~UVCControl() = default;

bool UVCControl::getSource() {
    if (source_) return true;
    if (!port_ || symbolicLink_.empty() || port_->openSource(symbolicLink_, source_) < 0 || !source_) {
        source_.reset();
        std::printf("UVCControl::getSource: activate Object failed.\n");
        return false;
    }
    return true;
}

bool UVCControl::getCameraControlProperty(long type, long& value, bool& automatic, long& minimum, long& maximum,
                                          long& defaultValue, long& step) {
    if (type < 0 || type > kLastProcessingType) {
        std::printf("getCameraControlProperty: Invalid property type %ld\n", type);
        return false;
    }
    if (!source_) return false;
    const VideoControlId id = processingControl(type);
    VideoControlRange range;
    int32_t current = 0;
    if (source_->queryControl(id, range) < 0 || source_->getControl(id, current) < 0) return false;
    automatic = false;
    if (auto autoSwitch = automaticSwitchOf(id)) {
        int32_t on = 0;
        if (source_->getControl(*autoSwitch, on) == 0) automatic = on != 0;
    }
    value = current;
    minimum = range.minimum;
    maximum = range.maximum;
    defaultValue = range.defaultValue;
    step = range.step;
    return true;
}

bool UVCControl::setCameraControlProperty(long type, bool automatic, long value) {
    if (type < 0 || type > kLastProcessingType) {
        std::printf("setCameraControlProperty: Invalid property type %ld\n", type);
        return false;
    }
    if (!source_) return false;
    const VideoControlId id = processingControl(type);
    const auto autoSwitch = automaticSwitchOf(id);
    if (automatic) return autoSwitch && source_->setControl(*autoSwitch, 1) == 0;
    if (autoSwitch) {
        int32_t on = 0;
        if (source_->getControl(*autoSwitch, on) < 0) return false;
        if (on != 0 && source_->setControl(*autoSwitch, 0) < 0) return false;
    }
    return source_->setControl(id, static_cast<int32_t>(value)) == 0;
}

bool UVCControl::getPtzProperty(PtzAxis axis, long& value, long& minimum, long& maximum, long& defaultValue,
                                long& step) {
    if (!source_) return false;
    const VideoControlId id = ptzControl(axis);
    VideoControlRange range;
    int32_t current = 0;
    if (source_->queryControl(id, range) < 0 || source_->getControl(id, current) < 0) return false;
    if (axis == PtzAxis::Zoom) {
        value = current;
        minimum = range.minimum;
        maximum = range.maximum;
        defaultValue = range.defaultValue;
        step = range.step;
    } else {
        value = toDegrees(current);
        minimum = toDegrees(range.minimum);
        maximum = toDegrees(range.maximum);
        defaultValue = toDegrees(range.defaultValue);
        step = std::max(1L, toDegrees(range.step));
    }
    return true;
}

bool UVCControl::setPtzProperty(PtzAxis axis, long value) {
    if (!source_) return false;
    const long wire = axis == PtzAxis::Zoom ? value : value * kArcSecondsPerDegree;
    return source_->setControl(ptzControl(axis), static_cast<int32_t>(wire)) == 0;
}

}  // namespace veltrion
