#pragma once

// How the camera comes up from its flash: the FX3 boot ROM starts the boot
// loader, which starts the FX3 firmware (or its backup); the firmware then
// loads the ISP, audio and FPGA components from their "VM" headers.

#include <cstdint>
#include <span>

#include "CameraState.h"

namespace camsim {

RunningFirmware bootFromFlash(std::span<const uint8_t> flash);

// What running FX3 firmware loads from flash: the ISP, audio and FPGA components.
void loadRuntimeComponents(std::span<const uint8_t> flash, RunningFirmware& running);

// Where the firmware looks for the audio header: one sector up when the ISP
// component in flash is longer than a sector.
uint32_t audioAddressFor(std::span<const uint8_t> flash);

}  // namespace camsim
