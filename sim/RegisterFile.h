#pragma once

// The camera's register spaces behind its I2C expander: the FPGA, three ISPs
// and three image sensors, 16-bit registers each. A host selects a branch of
// the expander and then reads or writes through it. The sensors' temperature
// block measures when the host runs its enable-start-latch sequence.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace camsim {

class RegisterFile {
public:
    static constexpr size_t kUnits = 3;

    // The registers as they come up at power-on. The file is plain bytes (it
    // lives in the camera's shared block), so power-on is an explicit step.
    void powerOn();

    // False for a branch the expander does not have; the old one stays.
    bool selectBranch(uint16_t expander, uint16_t channel);

    // FPGA (chip 1) or ISP (chip 0) behind the selected branch; nothing when
    // the chip is not behind it.
    std::optional<uint16_t> readBridged(uint16_t chip, uint16_t address) const;
    bool writeBridged(uint16_t address, uint16_t value);
    // The sensor behind the selected imaging branch. A write that completes
    // the temperature sequence latches a reading of that sensor's
    // temperature (degrees Celsius, one per sensor).
    std::optional<uint16_t> readSensor(uint16_t address) const;
    bool writeSensor(uint16_t address, uint16_t value, const std::array<float, kUnits>& temperaturesC);

private:
    enum class Branch { None, Fpga, Imaging };
    // Every 16-bit address of a chip.
    using Space = std::array<uint16_t, 0x10000>;

    static uint16_t readSpace(const Space& space, uint16_t address);
    void latchTemperature(size_t unit, float temperatureC);

    Branch branch_ = Branch::None;
    size_t unit_ = 0;
    Space fpga_;
    std::array<Space, kUnits> isp_;
    std::array<Space, kUnits> sensor_;
};

}  // namespace camsim
