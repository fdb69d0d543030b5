#pragma once

// One camera's capture source for the desktop program's image and PTZ
// controls: the video-processing properties 0..9 and pan, tilt and zoom.
// It opens a source of its own (not the channel's cache) and closes it when
// destroyed.

#include <memory>
#include <string>

#include "VideoPort.h"

namespace veltrion {

class UVCControl {
public:
    enum class PtzAxis { Pan, Tilt, Zoom };

    // Takes the first camera with the serial number, or with an empty one the
    // camera at the index counted over cameras only. A null port means the
    // platform's.
    UVCControl(int cameraIndex, const std::string& serial, std::unique_ptr<VideoPort> port = nullptr);
    ~UVCControl();
    UVCControl(const UVCControl&) = delete;
    UVCControl& operator=(const UVCControl&) = delete;

    bool isOpen() const { return source_ != nullptr; }
    const std::string& friendlyName() const { return friendlyName_; }
    // Opens the chosen camera's capture source; false when there is none.
    bool getSource();

    // Types 0..9: brightness, contrast, hue, saturation, sharpness, gamma,
    // colour enable, white balance, backlight compensation, gain.
    bool getCameraControlProperty(long type, long& value, bool& automatic, long& minimum, long& maximum,
                                  long& defaultValue, long& step);
    // Automatic only where the control has an automatic mode (white balance,
    // hue); a manual value first turns the automatic mode off.
    bool setCameraControlProperty(long type, bool automatic, long value);

    // Pan and tilt in degrees, zoom in the camera's own unit.
    bool getPtzProperty(PtzAxis axis, long& value, long& minimum, long& maximum, long& defaultValue, long& step);
    bool setPtzProperty(PtzAxis axis, long value);

private:
    std::unique_ptr<VideoPort> port_;
    std::string symbolicLink_;
    std::string friendlyName_;
    std::shared_ptr<VideoSource> source_;
};

}  // namespace veltrion
