#pragma once

#include <memory>

#include "UsbPort.h"

struct libusb_context;

namespace veltrion {

// The operating system's USB stack through libusb. Paths name a device by
// bus and port chain ("usb:1-1.4:vid_3a7c&pid_0003:SERIAL"), which stays the
// same when the camera resets and enumerates again on the same port.
class LibusbPort : public UsbPort {
public:
    LibusbPort();
    ~LibusbPort() override;

    // False when libusb could not be initialised (no usbfs, for instance).
    bool isAvailable() const { return context_ != nullptr; }

    int listDevices(std::vector<UsbDeviceEntry>& devices) override;
    int open(const std::string& path, std::unique_ptr<UsbHandle>& handle) override;
    // "usb-<bus>-<port path>.lock" in $XDG_RUNTIME_DIR/veltrion (made when
    // missing), or "veltrion-usb-<bus>-<port path>.lock" in /run/lock when
    // there is no usable runtime folder.
    std::string writerLockFile(const std::string& path) const override;

private:
    std::shared_ptr<libusb_context> context_;
    int initResult_ = 0;
};

}  // namespace veltrion
