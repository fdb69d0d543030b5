#include "RegisterFile.h"

#include <algorithm>
#include <cmath>

#include "config/RegisterMap.h"

namespace camsim {

namespace reg = veltrion::reg;

namespace {

// Power-on values of the identification and calibration registers; every
// other register reads 0 until it is written.
constexpr uint16_t kChipIdRegister = 0x0000;
constexpr uint16_t kFpgaChipId = 0x5633;
constexpr uint16_t kIspChipId = 0x0A51;
constexpr uint16_t kSensorChipIdRegister = 0x3000;
constexpr uint16_t kSensorChipId = 0x0356;
// Each sensor's factory-trimmed calibration reading of its temperature block.
constexpr std::array<uint16_t, RegisterFile::kUnits> kSensorTempCalibration = {0x0057, 0x0056, 0x0058};

}  // namespace

void RegisterFile::powerOn() {
    branch_ = Branch::None;
    unit_ = 0;
    fpga_.fill(0);
    for (auto& space : isp_) space.fill(0);
    for (auto& space : sensor_) space.fill(0);
    fpga_[kChipIdRegister] = kFpgaChipId;
    for (size_t unit = 0; unit < kUnits; ++unit) {
        isp_[unit][kChipIdRegister] = kIspChipId;
        sensor_[unit][kSensorChipIdRegister] = kSensorChipId;
        sensor_[unit][reg::kSensorTempCalibration] = kSensorTempCalibration[unit];
    }
}

bool RegisterFile::selectBranch(uint16_t expander, uint16_t channel) {
    if (expander == reg::kExpanderFpga && channel == reg::kChannelFpga) {
        branch_ = Branch::Fpga;
        return true;
    }
    if (expander != reg::kExpanderImaging) return false;
    for (size_t unit = 0; unit < kUnits; ++unit) {
        if (channel == reg::kChannelUnit[unit]) {
            branch_ = Branch::Imaging;
            unit_ = unit;
            return true;
        }
    }
    return false;
}

uint16_t RegisterFile::readSpace(const Space& space, uint16_t address) { return space[address]; }

std::optional<uint16_t> RegisterFile::readBridged(uint16_t chip, uint16_t address) const {
    if (branch_ == Branch::Fpga && chip == reg::kReadValueFpga) return readSpace(fpga_, address);
    if (branch_ == Branch::Imaging && chip == reg::kReadValueIsp) return readSpace(isp_[unit_], address);
    return std::nullopt;
}

bool RegisterFile::writeBridged(uint16_t address, uint16_t value) {
    // The bridge takes the value with its bytes swapped.
    const uint16_t stored = reg::swapBytes(value);
    if (branch_ == Branch::Fpga) {
        fpga_[address] = stored;
        return true;
    }
    if (branch_ == Branch::Imaging) {
        isp_[unit_][address] = stored;
        return true;
    }
    return false;
}

std::optional<uint16_t> RegisterFile::readSensor(uint16_t address) const {
    if (branch_ != Branch::Imaging) return std::nullopt;
    return readSpace(sensor_[unit_], address);
}

bool RegisterFile::writeSensor(uint16_t address, uint16_t value, const std::array<float, kUnits>& temperaturesC) {
    if (branch_ != Branch::Imaging) return false;
    Space& sensor = sensor_[unit_];
    if (address == reg::kSensorTempControl && value == reg::kSensorTempLatch &&
        readSpace(sensor, address) == reg::kSensorTempStart)
        latchTemperature(unit_, temperaturesC[unit_]);
    sensor[address] = value;
    return true;
}

void RegisterFile::latchTemperature(size_t unit, float temperatureC) {
    // The inverse of the host's conversion, rounded to the block's resolution.
    const float offset = static_cast<float>(kSensorTempCalibration[unit]) - reg::kSensorTempOffset;
    const long reading = std::lround(temperatureC * reg::kSensorTempSlope + offset);
    sensor_[unit][reg::kSensorTempReading] = static_cast<uint16_t>(std::clamp<long>(reading, 0, 0xFFFF));
}

}  // namespace camsim
