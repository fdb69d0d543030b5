#pragma once

// The camera's 16-bit register spaces: the FPGA, three ISPs and three image
// sensors, each reached by first selecting its branch of the I2C expander and
// then reading or writing through the branch. Shared by the library and the
// simulated camera.

#include <array>
#include <cstddef>
#include <cstdint>

namespace veltrion::reg {

// Vendor requests, all device-to-host with a 2-byte data stage.
constexpr uint8_t kSelectBranch = 0xB0;
constexpr uint8_t kReadBridged = 0xB1;   // FPGA and ISP registers
constexpr uint8_t kWriteBridged = 0xB2;  // wValue = the value, bytes swapped
constexpr uint8_t kReadSensor = 0xB3;
constexpr uint8_t kWriteSensor = 0xB4;   // wValue = the value as is
constexpr uint16_t kDataSize = 2;

// Expander branches (wValue, wIndex of kSelectBranch).
constexpr uint16_t kExpanderFpga = 0x74;
constexpr uint16_t kExpanderImaging = 0x78;
constexpr uint16_t kChannelFpga = 0x01;
constexpr std::array<uint16_t, 3> kChannelUnit = {0x02, 0x04, 0x08};
// wValue of kReadBridged: which chip behind the branch answers.
constexpr uint16_t kReadValueFpga = 1;
constexpr uint16_t kReadValueIsp = 0;
constexpr uint16_t kReadValueSensor = 0;

enum class TargetKind { Fpga, Isp, Sensor };

struct RegisterTarget {
    TargetKind kind;
    int unit;  // ISP or sensor index 0..2; 0 for the FPGA
    uint16_t branchValue;
    uint16_t branchIndex;
    uint8_t readRequest;
    uint16_t readValue;
    uint8_t writeRequest;
    bool swapWriteValue;
};

// Register types 0..6 in the order the callers number them.
constexpr std::array<RegisterTarget, 7> kTargets = {{
    {TargetKind::Fpga, 0, kExpanderFpga, kChannelFpga, kReadBridged, kReadValueFpga, kWriteBridged, true},
    {TargetKind::Isp, 0, kExpanderImaging, kChannelUnit[0], kReadBridged, kReadValueIsp, kWriteBridged, true},
    {TargetKind::Isp, 1, kExpanderImaging, kChannelUnit[1], kReadBridged, kReadValueIsp, kWriteBridged, true},
    {TargetKind::Isp, 2, kExpanderImaging, kChannelUnit[2], kReadBridged, kReadValueIsp, kWriteBridged, true},
    {TargetKind::Sensor, 0, kExpanderImaging, kChannelUnit[0], kReadSensor, kReadValueSensor, kWriteSensor, false},
    {TargetKind::Sensor, 1, kExpanderImaging, kChannelUnit[1], kReadSensor, kReadValueSensor, kWriteSensor, false},
    {TargetKind::Sensor, 2, kExpanderImaging, kChannelUnit[2], kReadSensor, kReadValueSensor, kWriteSensor, false},
}};

// The target of a register type, or null for a type outside 0..6.
constexpr const RegisterTarget* findTarget(int type) {
    if (type < 0 || type >= static_cast<int>(kTargets.size())) return nullptr;
    return &kTargets[static_cast<size_t>(type)];
}

constexpr uint16_t swapBytes(uint16_t value) { return static_cast<uint16_t>((value << 8) | (value >> 8)); }

// The image sensors' temperature block: a control register and two readings.
constexpr uint16_t kSensorTempControl = 0x3126;
constexpr uint16_t kSensorTempReading = 0x3124;
constexpr uint16_t kSensorTempCalibration = 0x3128;
// Control values of one measurement, in the order they are written.
constexpr uint16_t kSensorTempEnable = 0x0001;
constexpr uint16_t kSensorTempStart = 0x0021;
constexpr uint16_t kSensorTempLatch = 0x0011;
constexpr uint16_t kSensorTempOff = 0x0000;
// Temperature = (reading - (calibration - kOffset)) / kSlope, degrees Celsius.
constexpr float kSensorTempOffset = 86.588226f;
constexpr float kSensorTempSlope = 1.443137f;

}  // namespace veltrion::reg
