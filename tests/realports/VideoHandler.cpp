#include "VideoHandler.h"

#include <sys/ioctl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/version.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <functional>

#include "Camera.h"
#include "device/uvc/VideoControlDescriptors.h"

namespace veltrion::realports {

namespace {

constexpr const char* kDriverName = "uvcvideo";
constexpr uint32_t kDriverVersion = KERNEL_VERSION(6, 1, 0);
constexpr uint32_t kCaptureCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
constexpr uint32_t kMetadataCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
// "capabilities" covers every node of the device; each node's own are in
// device_caps, which the flag says are there.
constexpr uint32_t kDeviceCaps = kCaptureCaps | kMetadataCaps | V4L2_CAP_DEVICE_CAPS;

struct ControlName {
    uint32_t cid;
    VideoControlId id;
    const char* name;
    bool boolean;  // an automatic switch
};

// uvcvideo's controls of the camera's terminal and processing unit.
constexpr std::array<ControlName, 14> kControls{{
    {V4L2_CID_BRIGHTNESS, VideoControlId::Brightness, "Brightness", false},
    {V4L2_CID_CONTRAST, VideoControlId::Contrast, "Contrast", false},
    {V4L2_CID_HUE, VideoControlId::Hue, "Hue", false},
    {V4L2_CID_SATURATION, VideoControlId::Saturation, "Saturation", false},
    {V4L2_CID_SHARPNESS, VideoControlId::Sharpness, "Sharpness", false},
    {V4L2_CID_GAMMA, VideoControlId::Gamma, "Gamma", false},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, VideoControlId::WhiteBalance, "White Balance Temperature", false},
    {V4L2_CID_BACKLIGHT_COMPENSATION, VideoControlId::BacklightCompensation, "Backlight Compensation", false},
    {V4L2_CID_GAIN, VideoControlId::Gain, "Gain", false},
    {V4L2_CID_AUTO_WHITE_BALANCE, VideoControlId::WhiteBalanceAuto, "White Balance, Automatic", true},
    {V4L2_CID_HUE_AUTO, VideoControlId::HueAuto, "Hue, Automatic", true},
    {V4L2_CID_PAN_ABSOLUTE, VideoControlId::Pan, "Pan, Absolute", false},
    {V4L2_CID_TILT_ABSOLUTE, VideoControlId::Tilt, "Tilt, Absolute", false},
    {V4L2_CID_ZOOM_ABSOLUTE, VideoControlId::Zoom, "Zoom, Absolute", false},
}};

const ControlName* findControl(uint32_t cid) {
    const auto found = std::find_if(kControls.begin(), kControls.end(),
                                    [cid](const ControlName& control) { return control.cid == cid; });
    return found == kControls.end() ? nullptr : &*found;
}

using SharedData = std::shared_ptr<UMockdevIoctlData>;

SharedData share(UMockdevIoctlData* data) {
    return SharedData(data, [](UMockdevIoctlData* object) {
        if (object) g_object_unref(object);
    });
}

// The ioctl argument's pointee, copied over from the client.
SharedData resolveArg(UMockdevIoctlClient* client, size_t length) {
    return share(umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, length, nullptr));
}

void complete(UMockdevIoctlClient* client, long result, int error = 0) {
    umockdev_ioctl_client_complete(client, result, error);
}

// A zero-terminated text in a fixed field, cut to fit.
template <size_t N>
void putText(uint8_t (&field)[N], const std::string& text) {
    const size_t length = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), length, field);
    std::fill(field + length, field + N, 0);
}

}  // namespace

VideoHandler::VideoHandler(VideoNodeDirectory& directory)
    : directory_(directory), object_(umockdev_ioctl_base_new()) {
    // The unit the camera's descriptors name, as the driver learns it.
    const auto descriptors = camsim::Camera::videoControlDescriptors();
    if (const auto unit = findExtensionUnitDescriptor(descriptors, kVeltrionExtensionUnitGuid)) {
        unitId_ = unit->unitId;
        unitControls_.assign(unit->controls.begin(), unit->controls.end());
    }
    g_signal_connect(object_.get(), "handle-ioctl", G_CALLBACK(onIoctl), this);
}

VideoHandler::~VideoHandler() {
    stop();
    g_signal_handlers_disconnect_by_data(object_.get(), this);
}

void VideoHandler::stop() {
    std::map<std::string, std::unique_ptr<CallQueue>> queues;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        queues.swap(queues_);
    }
    queues.clear();  // runs what is queued, outside the lock the calls' owners may need
}

gboolean VideoHandler::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    try {
        static_cast<VideoHandler*>(self)->handle(client);
    } catch (...) {
        // Nothing may unwind into umockdev; the client sees an I/O error.
        complete(client, -1, EIO);
    }
    return TRUE;
}

size_t VideoHandler::releaseClosedClients() {
    std::lock_guard lock(mutex_);
    std::erase_if(clients_, [](const auto& entry) {
        const Client& client = entry.second;
        if (umockdev_ioctl_client_get_connected(client.client.get())) return false;
        return true;
    });
    return clients_.size();
}

VideoHandler::Client& VideoHandler::clientFor(UMockdevIoctlClient* ioctlClient) {
    auto found = clients_.find(ioctlClient);
    if (found != clients_.end()) return found->second;
    Client& client = clients_[ioctlClient];
    client.client = takeRef(ioctlClient);
    client.devNode = umockdev_ioctl_client_get_devnode(ioctlClient);
    return client;
}

CallQueue& VideoHandler::queueFor(const std::string& cameraName) {
    auto& queue = queues_[cameraName];
    if (!queue) queue = std::make_unique<CallQueue>();
    return *queue;
}

void VideoHandler::handle(UMockdevIoctlClient* ioctlClient) {
    std::lock_guard lock(mutex_);
    if (stopped_) return complete(ioctlClient, -1, ENODEV);
    Client& client = clientFor(ioctlClient);
    if (!client.bound) {
        // An open file belongs to the enumeration it was opened in.
        client.bound = true;
        client.binding = directory_.bindVideo(client.devNode);
        if (client.binding && !client.binding->metadata) {
            const VideoBinding& binding = *client.binding;
            client.sourceOpen = binding.camera->openVideoSource(binding.vendorId, binding.productId, binding.serial,
                                                                client.enumeration) == 0;
        }
    }
    // The node of a camera that left answers nothing but ENODEV.
    const bool gone = !client.binding || !directory_.currentVideo(client.devNode, client.binding->generation) ||
                      (!client.binding->metadata &&
                       (!client.sourceOpen || client.binding->camera->videoSourceGone(client.enumeration)));
    if (gone) return complete(ioctlClient, -1, ENODEV);

    const unsigned long request = umockdev_ioctl_client_get_request(ioctlClient);
    if (request == VIDIOC_QUERYCAP) return capabilities(client, ioctlClient);
    // The metadata node has formats and buffers, none of the controls.
    if (client.binding->metadata) return complete(ioctlClient, -1, ENOTTY);
    switch (request) {
        case UVCIOC_CTRL_QUERY: return extensionUnitQuery(client, ioctlClient);
        case VIDIOC_QUERYCTRL: return queryControl(client, ioctlClient);
        case VIDIOC_G_CTRL: return control(client, ioctlClient, false);
        case VIDIOC_S_CTRL: return control(client, ioctlClient, true);
        default:
            // Formats and streaming are not what the bridge carries.
            return complete(ioctlClient, -1, ENOTTY);
    }
}

void VideoHandler::capabilities(const Client& client, UMockdevIoctlClient* ioctlClient) {
    const auto arg = resolveArg(ioctlClient, sizeof(v4l2_capability));
    if (!arg) return complete(ioctlClient, -1, EFAULT);
    auto* caps = reinterpret_cast<v4l2_capability*>(arg->data);
    *caps = {};
    putText(caps->driver, kDriverName);
    putText(caps->card, client.binding->card);
    putText(caps->bus_info, client.binding->busInfo);
    caps->version = kDriverVersion;
    caps->capabilities = kDeviceCaps;
    caps->device_caps = client.binding->metadata ? kMetadataCaps : kCaptureCaps;
    complete(ioctlClient, 0);
}

void VideoHandler::post(const Client& client, UMockdevIoctlClient* ioctlClient, std::function<int()> call) {
    auto waiting = std::shared_ptr<UMockdevIoctlClient>(static_cast<UMockdevIoctlClient*>(g_object_ref(ioctlClient)),
                                                        [](UMockdevIoctlClient* object) { g_object_unref(object); });
    queueFor(client.binding->cameraName).post([this, waiting, devNode = client.devNode, call = std::move(call)] {
        const int result = call();
        // Before the client goes on: a reset it caused shows at its next call.
        directory_.videoCalled(devNode);
        if (result < 0) return complete(waiting.get(), -1, -result);
        complete(waiting.get(), 0);
    });
}

void VideoHandler::extensionUnitQuery(const Client& client, UMockdevIoctlClient* ioctlClient) {
    const auto arg = resolveArg(ioctlClient, sizeof(uvc_xu_control_query));
    if (!arg) return complete(ioctlClient, -1, EFAULT);
    const auto* query = reinterpret_cast<const uvc_xu_control_query*>(arg->data);
    // As the driver: a unit or selector the descriptors do not list is not there.
    if (query->unit != unitId_ || !ExtensionUnitDescriptor{unitId_, unitControls_}.hasSelector(query->selector))
        return complete(ioctlClient, -1, ENOENT);
    SharedData data;
    if (query->size > 0) {
        data = share(
            umockdev_ioctl_data_resolve(arg.get(), offsetof(uvc_xu_control_query, data), query->size, nullptr));
        if (!data) return complete(ioctlClient, -1, EFAULT);
    }
    post(client, ioctlClient,
         [arg, data, camera = client.binding->camera, enumeration = client.enumeration, selector = query->selector,
          code = static_cast<XuQuery>(query->query), size = query->size] {
             return camera->extensionUnitQuery(enumeration, selector, code, data ? data->data : nullptr, size);
         });
}

void VideoHandler::queryControl(const Client& client, UMockdevIoctlClient* ioctlClient) {
    const auto arg = resolveArg(ioctlClient, sizeof(v4l2_queryctrl));
    if (!arg) return complete(ioctlClient, -1, EFAULT);
    const ControlName* name = findControl(reinterpret_cast<const v4l2_queryctrl*>(arg->data)->id);
    if (!name) return complete(ioctlClient, -1, EINVAL);
    post(client, ioctlClient, [arg, name, camera = client.binding->camera, enumeration = client.enumeration] {
        VideoControlRange range;
        const int result = camera->videoControlQuery(enumeration, name->id, range);
        if (result < 0) return result;
        auto* answer = reinterpret_cast<v4l2_queryctrl*>(arg->data);
        answer->type = name->boolean ? V4L2_CTRL_TYPE_BOOLEAN : V4L2_CTRL_TYPE_INTEGER;
        putText(answer->name, name->name);
        answer->minimum = range.minimum;
        answer->maximum = range.maximum;
        answer->step = range.step;
        answer->default_value = range.defaultValue;
        answer->flags = 0;
        return 0;
    });
}

void VideoHandler::control(const Client& client, UMockdevIoctlClient* ioctlClient, bool set) {
    const auto arg = resolveArg(ioctlClient, sizeof(v4l2_control));
    if (!arg) return complete(ioctlClient, -1, EFAULT);
    const ControlName* name = findControl(reinterpret_cast<const v4l2_control*>(arg->data)->id);
    if (!name) return complete(ioctlClient, -1, EINVAL);
    post(client, ioctlClient, [arg, name, set, camera = client.binding->camera, enumeration = client.enumeration] {
        auto* request = reinterpret_cast<v4l2_control*>(arg->data);
        if (set) return camera->videoControlSet(enumeration, name->id, request->value);
        int32_t value = 0;
        const int result = camera->videoControlGet(enumeration, name->id, value);
        if (result == 0) request->value = value;
        return result;
    });
}

}  // namespace veltrion::realports
