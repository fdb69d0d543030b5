#pragma once

// What the kernel learns about a USB device when it enumerates it, and the
// sysfs entry and /dev node it makes of that: here written as a umockdev
// testbed record.

#include <cstdint>
#include <string>
#include <vector>

#include "device/usb/UsbPort.h"

namespace veltrion::realports {

// Where a device sits on the bridged bus.
struct BusPlace {
    int bus = 1;
    int port = 0;  // 0: the bus's root hub
    int deviceNumber = 1;

    // The kernel's device name: "1-2", or "usb1" for the root hub.
    std::string sysName() const;
    // Under /sys, e.g. "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2".
    std::string sysPath() const;
    // "/dev/bus/usb/001/005"
    std::string devNode() const;
};

struct EnumeratedDevice {
    std::vector<uint8_t> deviceDescriptor;  // 18 bytes
    std::vector<uint8_t> configuration;     // the whole configuration descriptor
    std::string manufacturer;               // empty when the device has no such string
    std::string product;
    std::string serial;

    uint16_t vendorId() const;
    uint16_t productId() const;
    uint16_t bcdUsb() const;
    bool superSpeed() const { return bcdUsb() >= 0x0300; }
};

// Reads the descriptors through an open handle, as the hub driver does. A
// device that stalls GET_DESCRIPTOR(configuration) gets the configuration of
// its kind. Returns 0 or the failing transfer's negative UsbError.
int enumerateDevice(UsbHandle& handle, EnumeratedDevice& device);

// The root hub the bridged devices hang off.
EnumeratedDevice rootHub();

// The testbed record (umockdev's P:, N:, E:, A: and H: lines) of a device.
std::string testbedRecord(const BusPlace& place, const EnumeratedDevice& device);

}  // namespace veltrion::realports
