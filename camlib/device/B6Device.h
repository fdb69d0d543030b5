#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltrion {

class Logger;

// The standard 18-byte USB device descriptor, decoded.
struct UsbDeviceDescriptor {
    uint8_t bLength = 0;
    uint8_t bDescriptorType = 0;
    uint16_t bcdUSB = 0;
    uint8_t bDeviceClass = 0;
    uint8_t bDeviceSubClass = 0;
    uint8_t bDeviceProtocol = 0;
    uint8_t bMaxPacketSize0 = 0;
    uint16_t idVendor = 0;
    uint16_t idProduct = 0;
    uint16_t bcdDevice = 0;
    uint8_t iManufacturer = 0;
    uint8_t iProduct = 0;
    uint8_t iSerialNumber = 0;
    uint8_t bNumConfigurations = 0;
};

// Decodes the little-endian wire form; false when fewer than 18 bytes are given.
bool decodeDeviceDescriptor(const uint8_t* bytes, size_t length, UsbDeviceDescriptor& out);

// The abstract camera device: one camera at a time, opened by device path.
class B6Device {
public:
    virtual ~B6Device() = default;

    virtual bool isSupported() = 0;
    virtual void setLogger(Logger* logger) = 0;
    virtual void setLogLevel(int level) = 0;
    virtual bool getVeltrion2DevPaths(std::vector<std::string>& paths) = 0;
    virtual bool getBrokenVeltrion2DevPaths(std::vector<std::string>& paths) = 0;
    virtual bool openVeltrion2Dev(const std::string& devPath) = 0;
    virtual void closeVeltrion2Dev() = 0;
    virtual void releaseVeltrion2Dev() = 0;
    virtual bool reopenVeltrion2Dev() = 0;
    virtual bool getDeviceDescriptor(UsbDeviceDescriptor& descriptor) = 0;
    virtual bool getStringDescriptor(uint8_t index, uint16_t languageId, char* buffer, uint16_t bufferSize) = 0;
    virtual bool sendUsbControlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                        uint8_t* data, uint16_t length) = 0;
    // The lock file of the camera at a path, for one writer per camera
    // (CameraWriteLock); empty when the channel offers none.
    virtual std::string writerLockFile(const std::string& devPath) const {
        (void)devPath;
        return {};
    }
};

}  // namespace veltrion
