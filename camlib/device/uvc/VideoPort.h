#pragma once

// The seam between the UVC channel and the operating system's video stack.
// V4l2VideoPort is the real one (V4L2 and uvcvideo); the simulated camera
// provides another. Results are 0 or a negative errno, as the kernel gives.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace veltrion {

// The camera's extension unit, in descriptor (little-endian GUID) byte order:
// {5E1D27A4-94C3-4B1F-8A6E-3C0B7D92F415}.
using UnitGuid = std::array<uint8_t, 16>;
inline constexpr UnitGuid kVeltrionExtensionUnitGuid{0xA4, 0x27, 0x1D, 0x5E, 0xC3, 0x94, 0x1F, 0x4B,
                                                     0x8A, 0x6E, 0x3C, 0x0B, 0x7D, 0x92, 0xF4, 0x15};

// One capture source (a video-capture node; metadata nodes are not listed).
struct VideoSourceEntry {
    // "v4l:<sysfs name of the USB device>:vid_vvvv&pid_pppp:<serial>" on
    // V4L2, "simv:<camera name>:vid_vvvv&pid_pppp:<serial>" on the simulator.
    std::string symbolicLink;
    std::string friendlyName;  // the node's card name
    std::string serial;        // the USB device's serial number
    bool serialKnown = false;  // false when the USB parent has none to give
};

// Extension-unit control queries (the UVC request codes).
enum class XuQuery : uint8_t { SetCur = 0x01, GetCur = 0x81, GetLen = 0x85 };

// Standard camera controls: the video-processing properties 0..9 in their
// classic numbering, then the automatic switches and the camera-terminal
// controls.
enum class VideoControlId : int {
    Brightness = 0,
    Contrast = 1,
    Hue = 2,
    Saturation = 3,
    Sharpness = 4,
    Gamma = 5,
    ColorEnable = 6,
    WhiteBalance = 7,
    BacklightCompensation = 8,
    Gain = 9,
    WhiteBalanceAuto = 10,
    HueAuto = 11,
    Pan = 12,   // arc seconds
    Tilt = 13,  // arc seconds
    Zoom = 14,
};

struct VideoControlRange {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 1;
    int32_t defaultValue = 0;
};

// An open capture node. Shared: the channel's source cache, its handles and a
// late property worker may all hold it; the last owner closes it.
class VideoSource {
public:
    virtual ~VideoSource() = default;

    // True when the device behind the open node has left (its node reports
    // ENODEV, or the node now belongs to another device).
    virtual bool isGone() = 0;
    // The unit id of the extension unit with this GUID in the camera's
    // VideoControl descriptors; -ENOENT when it has none.
    virtual int findExtensionUnit(const UnitGuid& guid, uint8_t& unitId) = 0;
    // One extension-unit control query. size must equal the control's length
    // (GetLen answers 2 bytes, little-endian).
    virtual int queryExtensionUnit(uint8_t unitId, uint8_t selector, XuQuery query, uint8_t* data,
                                   uint16_t size) = 0;

    // -EINVAL when the camera does not offer the control.
    virtual int queryControl(VideoControlId id, VideoControlRange& range) = 0;
    virtual int getControl(VideoControlId id, int32_t& value) = 0;
    virtual int setControl(VideoControlId id, int32_t value) = 0;
};

class VideoPort {
public:
    virtual ~VideoPort() = default;
    // Replaces the list with every capture source present, sorted by link.
    // Returns 0 or a negative errno.
    virtual int listSources(std::vector<VideoSourceEntry>& sources) = 0;
    // Opens the capture node of a link listSources gave. -ENODEV when the
    // device is not present (any more).
    virtual int openSource(const std::string& symbolicLink, std::shared_ptr<VideoSource>& source) = 0;
};

// The simulator's port when VELTRION_SIM names a bus directory, else V4L2's.
std::unique_ptr<VideoPort> createVideoPort();

}  // namespace veltrion
