#include "VideoSysfs.h"

namespace veltrion::realports {

namespace {

constexpr int kVideoMajor = 81;
constexpr const char* kInterfaceSuffix = ":1.0";  // configuration 1, interface 0
constexpr const char* kControllerName = "0000:00:14.0";
// VideoControl: class 14 (video), subclass 1, protocol 0.
constexpr const char* kVideoControlClass = "0e";
constexpr const char* kVideoControlSubClass = "01";
constexpr const char* kVideoControlType = "14/1/0";
constexpr const char* kVideoDriver = "uvcvideo";

}  // namespace

std::string VideoPlace::interfaceSysPath() const { return usb.sysPath() + "/" + usb.sysName() + kInterfaceSuffix; }

std::string VideoPlace::nodeSysPath(int index) const {
    return interfaceSysPath() + "/video4linux/video" + std::to_string(index);
}

std::string VideoPlace::devNode(int index) { return "/dev/video" + std::to_string(index); }

std::string VideoPlace::busInfo() const {
    return std::string("usb-") + kControllerName + "-" + std::to_string(usb.port);
}

std::string videoTestbedRecord(const VideoPlace& place, const std::string& cardName) {
    std::string record;
    auto line = [&record](const char* kind, const std::string& text) { record += kind + text + "\n"; };
    auto attribute = [&line](const std::string& name, const std::string& value) {
        line("A: ", name + "=" + value + "\\n");
    };
    const auto sysfsPath = [](const std::string& path) { return path.substr(std::string("/sys").size()); };

    line("P: ", sysfsPath(place.interfaceSysPath()));
    line("E: ", "SUBSYSTEM=usb");
    line("E: ", "DEVTYPE=usb_interface");
    line("E: ", std::string("DRIVER=") + kVideoDriver);
    line("E: ", std::string("INTERFACE=") + kVideoControlType);
    attribute("bInterfaceNumber", "00");
    attribute("bAlternateSetting", " 0");
    attribute("bInterfaceClass", kVideoControlClass);
    attribute("bInterfaceSubClass", kVideoControlSubClass);
    attribute("bInterfaceProtocol", "00");
    attribute("bNumEndpoints", "00");
    record += "\n";

    for (int index : {place.captureIndex, place.metadataIndex()}) {
        const std::string node = VideoPlace::devNode(index);
        line("P: ", sysfsPath(place.nodeSysPath(index)));
        line("N: ", node.substr(std::string("/dev/").size()));
        line("E: ", "SUBSYSTEM=video4linux");
        line("E: ", "DEVNAME=" + node);
        line("E: ", "MAJOR=" + std::to_string(kVideoMajor));
        line("E: ", "MINOR=" + std::to_string(index));
        attribute("name", cardName);
        // uvcvideo numbers a camera's nodes 0 (capture) and 1 (metadata).
        attribute("index", index == place.captureIndex ? "0" : "1");
        attribute("dev", std::to_string(kVideoMajor) + ":" + std::to_string(index));
        record += "\n";
    }
    return record;
}

}  // namespace veltrion::realports
