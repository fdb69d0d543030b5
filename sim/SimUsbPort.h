#pragma once

// The vendor channel's port onto a simulated USB bus: a directory whose
// sub-folders are cameras. Paths look like
// "sim:<name>:vid_vvvv&pid_pppp:<serial>".

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/usb/UsbPort.h"

namespace camsim {

constexpr const char* kSimPathScheme = "sim:";

class SimUsbPort : public veltrion::UsbPort {
public:
    explicit SimUsbPort(std::filesystem::path busDir);

    int listDevices(std::vector<veltrion::UsbDeviceEntry>& devices) override;
    int open(const std::string& path, std::unique_ptr<veltrion::UsbHandle>& handle) override;
    // The writer lock in the camera's folder; empty when no such camera exists.
    std::string writerLockFile(const std::string& path) const override;

    const std::filesystem::path& busDir() const { return busDir_; }

private:
    std::filesystem::path busDir_;
};

// The path of a camera as the bus lists it.
std::string simDevicePath(const std::string& name, uint16_t vendorId, uint16_t productId, const std::string& serial);

// Splits a simulated path into camera name, vendor and product id; false when
// it is not one.
bool parseSimDevicePath(const std::string& path, std::string& name, uint16_t& vendorId, uint16_t& productId);
// The same for a path of another scheme of the bus ("simv:" capture links).
bool parseSimPath(const std::string& scheme, const std::string& path, std::string& name, uint16_t& vendorId,
                  uint16_t& productId);

}  // namespace camsim
