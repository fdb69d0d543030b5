#include "V4l2VideoSource.h"

#include <sys/ioctl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>

#include "VideoControlDescriptors.h"
#include "device/UdevHandles.h"

namespace veltrion {

namespace {

constexpr const char* kDescriptorsFile = "/descriptors";

// uvcvideo's controls for each standard control; colour enable has none.
std::optional<uint32_t> controlId(VideoControlId id) {
    switch (id) {
        case VideoControlId::Brightness: return V4L2_CID_BRIGHTNESS;
        case VideoControlId::Contrast: return V4L2_CID_CONTRAST;
        case VideoControlId::Hue: return V4L2_CID_HUE;
        case VideoControlId::Saturation: return V4L2_CID_SATURATION;
        case VideoControlId::Sharpness: return V4L2_CID_SHARPNESS;
        case VideoControlId::Gamma: return V4L2_CID_GAMMA;
        case VideoControlId::ColorEnable: return std::nullopt;
        case VideoControlId::WhiteBalance: return V4L2_CID_WHITE_BALANCE_TEMPERATURE;
        case VideoControlId::BacklightCompensation: return V4L2_CID_BACKLIGHT_COMPENSATION;
        case VideoControlId::Gain: return V4L2_CID_GAIN;
        case VideoControlId::WhiteBalanceAuto: return V4L2_CID_AUTO_WHITE_BALANCE;
        case VideoControlId::HueAuto: return V4L2_CID_HUE_AUTO;
        case VideoControlId::Pan: return V4L2_CID_PAN_ABSOLUTE;
        case VideoControlId::Tilt: return V4L2_CID_TILT_ABSOLUTE;
        case VideoControlId::Zoom: return V4L2_CID_ZOOM_ABSOLUTE;
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

V4l2VideoSource::V4l2VideoSource(v4l2::CaptureNode node) : node_(std::move(node)) {}

int V4l2VideoSource::call(unsigned long request, void* argument) {
    const int result = v4l2::ioctlRetrying(node_.fd.get(), request, argument);
    if (result == -ENODEV) gone_ = true;
    return result;
}

bool V4l2VideoSource::isGone() {
    if (gone_) return true;
    // The node of a device that left answers ENODEV, also when a device of
    // the same identity has come back on the port since.
    v4l2_capability caps{};
    if (call(VIDIOC_QUERYCAP, &caps) == -ENODEV) return true;
    UdevContext context(udev_new());
    if (!context) return false;  // cannot tell; the ioctl said it is there
    UdevDevice device(udev_device_new_from_syspath(context.get(), node_.parent.sysPath.c_str()));
    const auto now = v4l2::readUsbDevice(device.get());
    return !now || !now->sameDevice(node_.parent);
}

int V4l2VideoSource::findExtensionUnit(const UnitGuid& guid, uint8_t& unitId) {
    const auto descriptors = readFile(node_.parent.sysPath + kDescriptorsFile);
    if (!descriptors) return -ENOENT;
    const auto unit = findExtensionUnitDescriptor(*descriptors, guid);
    if (!unit) return -ENOENT;
    unitId = unit->unitId;
    std::lock_guard lock(unitsMutex_);
    unitControls_[unit->unitId].assign(unit->controls.begin(), unit->controls.end());
    return 0;
}

bool V4l2VideoSource::selectorRefused(uint8_t unitId, uint8_t selector) {
    std::lock_guard lock(unitsMutex_);
    const auto found = unitControls_.find(unitId);
    if (found == unitControls_.end()) return false;  // not looked up: the driver decides
    return !ExtensionUnitDescriptor{unitId, found->second}.hasSelector(selector);
}

int V4l2VideoSource::queryExtensionUnit(uint8_t unitId, uint8_t selector, XuQuery query, uint8_t* data,
                                        uint16_t size) {
    if (selectorRefused(unitId, selector)) return -ENOENT;
    uvc_xu_control_query request{};
    request.unit = unitId;
    request.selector = selector;
    request.query = static_cast<uint8_t>(query);
    request.size = size;
    request.data = data;
    return call(UVCIOC_CTRL_QUERY, &request);
}

int V4l2VideoSource::queryControl(VideoControlId id, VideoControlRange& range) {
    const auto cid = controlId(id);
    if (!cid) return -EINVAL;
    v4l2_queryctrl request{};
    request.id = *cid;
    if (const int result = call(VIDIOC_QUERYCTRL, &request); result < 0) return result;
    if (request.flags & V4L2_CTRL_FLAG_DISABLED) return -EINVAL;
    range.minimum = request.minimum;
    range.maximum = request.maximum;
    range.step = request.step;
    range.defaultValue = request.default_value;
    return 0;
}

int V4l2VideoSource::getControl(VideoControlId id, int32_t& value) {
    const auto cid = controlId(id);
    if (!cid) return -EINVAL;
    v4l2_control request{};
    request.id = *cid;
    if (const int result = call(VIDIOC_G_CTRL, &request); result < 0) return result;
    value = request.value;
    return 0;
}

int V4l2VideoSource::setControl(VideoControlId id, int32_t value) {
    const auto cid = controlId(id);
    if (!cid) return -EINVAL;
    v4l2_control request{};
    request.id = *cid;
    request.value = value;
    return call(VIDIOC_S_CTRL, &request);
}

}  // namespace veltrion
