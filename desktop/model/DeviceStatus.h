#pragma once

#include <string>
#include <vector>

namespace veltrion::desktop {

// What the dialog shows about one camera against the update image.
struct DeviceStatus {
    bool upToDate = false;           // the camera's firmware equals the image's
    std::string devicePath;
    std::string fx3Version;          // "0x4a" when the camera gave no text
    std::string fpgaVersion;         // "0x4a" when the camera gave no text
    std::string otherVersion;        // kept empty
    std::string identity;            // "vvvv:pppp" of the camera's USB ids
    std::vector<std::string> componentList;  // identities the image offers this camera
    std::string serialNumber;
    bool uvcChannel = false;
    std::string displayName;         // "<index + 1>. <name>"
    bool infoValid = false;          // the camera reported itself ready
    bool updateKnown = false;        // the image's versions were read
    std::string imageVersion;        // image FPGA text + "." + image FX3 text
};

}  // namespace veltrion::desktop
