#pragma once

// The seam between the vendor channel and the operating system's USB stack.
// LibusbPort is the real one; the simulated camera provides another.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace veltrion {

// Results of port operations: a byte count or zero on success, or one of these
// negative codes (the values of libusb's error codes, so "hr = %d" prints the
// same number on every port).
enum UsbError : int {
    kUsbErrorIo = -1,
    kUsbErrorInvalidParam = -2,
    kUsbErrorAccess = -3,
    kUsbErrorNoDevice = -4,
    kUsbErrorNotFound = -5,
    kUsbErrorBusy = -6,
    kUsbErrorTimeout = -7,
    kUsbErrorOverflow = -8,
    kUsbErrorPipe = -9,
    kUsbErrorInterrupted = -10,
    kUsbErrorNoMem = -11,
    kUsbErrorNotSupported = -12,
    kUsbErrorOther = -99,
    // Not one of libusb's: the device at the path's port answers another
    // serial number than the path carries (another camera was plugged in).
    kUsbErrorOtherSerial = -100,
};

const char* usbErrorName(int code);

// Control-transfer time-out used by the vendor channel.
constexpr unsigned kControlTimeoutMs = 5000;

struct UsbDeviceEntry {
    std::string path;  // "<scheme>:<location>:vid_vvvv&pid_pppp:<serial>"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// One opened device. Destroying it closes the device.
class UsbHandle {
public:
    virtual ~UsbHandle() = default;
    // One control transfer on the default pipe. Returns the number of bytes
    // transferred or a negative UsbError.
    virtual int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                uint8_t* data, uint16_t length, unsigned timeoutMs) = 0;
};

class UsbPort {
public:
    virtual ~UsbPort() = default;
    // Replaces the list with every USB device present, sorted by path.
    // Returns 0 or a negative UsbError.
    virtual int listDevices(std::vector<UsbDeviceEntry>& devices) = 0;
    // Opens the device a path of listDevices names. Returns 0 or a negative UsbError.
    virtual int open(const std::string& path, std::unique_ptr<UsbHandle>& handle) = 0;
    // The lock file that stands for the camera at a path while one process
    // writes to it (see CameraWriteLock); the same for every path of the same
    // camera place, whatever identity the device has there now. Empty when
    // the port offers no lock or the path is not one of its own.
    virtual std::string writerLockFile(const std::string& path) const {
        (void)path;
        return {};
    }
};

// The simulator's port when VELTRION_SIM names a bus directory, else the
// operating system's. Null when neither can be created.
std::unique_ptr<UsbPort> createUsbPort();

// Builds the vid/pid/serial tail shared by every path scheme.
std::string usbPathTail(uint16_t vendorId, uint16_t productId, const std::string& serial);
// The serial number a path carries after its vid/pid tag; empty when it
// carries none (a boot loader) or the path has no such tag.
std::string serialOfUsbPath(const std::string& path);

}  // namespace veltrion
