// Register requests: select a branch of the I2C expander, then read or write
// a 16-bit register of the FPGA, an ISP or an image sensor behind it. Every
// request has a 2-byte IN stage; reads answer most significant byte first.

#include <array>
#include <optional>

#include "Camera.h"
#include "device/usb/UsbPort.h"
#include "config/RegisterMap.h"

namespace camsim {

namespace reg = veltrion::reg;

int Camera::handleRegister(const SetupPacket& setup, uint8_t* data) {
    if (setup.length != reg::kDataSize) return veltrion::kUsbErrorPipe;
    std::array<uint8_t, reg::kDataSize> reply{};
    auto answer = [&](std::optional<uint16_t> value) {
        if (!value) return false;
        reply = {static_cast<uint8_t>(*value >> 8), static_cast<uint8_t>(*value)};
        return true;
    };
    bool ok = false;
    switch (setup.request) {
        case reg::kSelectBranch: ok = live_->registers.selectBranch(setup.value, setup.index); break;
        case reg::kReadBridged: ok = answer(live_->registers.readBridged(setup.value, setup.index)); break;
        case reg::kWriteBridged: ok = live_->registers.writeBridged(setup.index, setup.value); break;
        case reg::kReadSensor:
            ok = setup.value == reg::kReadValueSensor && answer(live_->registers.readSensor(setup.index));
            break;
        case reg::kWriteSensor:
            ok = live_->registers.writeSensor(setup.index, setup.value, state_->run.sensorTempC);
            break;
        default: break;
    }
    if (!ok) return veltrion::kUsbErrorPipe;
    return replyIn(setup, data, reply);
}

}  // namespace camsim
