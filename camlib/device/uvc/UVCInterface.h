#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltrion {

// One open extension unit at a time; get and set of its controls.
class UVCInterface {
public:
    virtual ~UVCInterface() = default;
    // Replaces the list with the key of every camera found; true when there is one.
    virtual bool enumerateDevices(std::vector<std::string>& keys) = 0;
    virtual bool openDevice(const std::string& key) = 0;
    // Drops the current unit; the camera's capture source stays cached.
    virtual void closeDevice() = 0;
    // Shuts the camera's capture source down, then drops the current unit
    // (the camera is leaving the bus).
    virtual void releaseDevice() = 0;
    virtual bool getDeviceInfo(uint16_t& vendorId, uint16_t& productId, std::string& serial,
                               std::string& friendlyName) = 0;
    virtual bool getProperty(uint8_t selector, uint8_t* buffer, uint32_t size) = 0;
    virtual bool setProperty(uint8_t selector, uint8_t* buffer, uint32_t size) = 0;
};

}  // namespace veltrion
