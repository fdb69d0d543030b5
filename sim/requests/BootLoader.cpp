// The controller's ROM boot loader, running when flash holds no bootable
// firmware. It answers the standard descriptor requests (requests/
// Descriptors.cpp) and its RAM download: write a chunk to RAM, read it back,
// start at an entry address. Started firmware re-enumerates as the camera.

#include <algorithm>
#include <string_view>

#include "BootChain.h"
#include "Camera.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"
#include "format/Fx3BootImage.h"

namespace camsim {

namespace vreq = veltrion::vreq;

namespace {

// The controller's system RAM, where downloaded firmware lives.
constexpr uint32_t kRamBase = kControllerRamBase;
constexpr uint32_t kRamSize = kControllerRamSize;
constexpr uint16_t kMaxChunk = 4096;
// The firmware's version marker sits near the start of its first section.
constexpr size_t kMarkerSearchWindow = 4096;
constexpr size_t kMaxVersionLength = 15;

bool insideRam(uint32_t address, uint32_t length) {
    return address >= kRamBase && length <= kRamSize && address - kRamBase <= kRamSize - length;
}

}  // namespace

int Camera::handleBootLoader(const SetupPacket& setup, uint8_t* data) {
    if (setup.request != vreq::kBootLoaderDownload) return veltrion::kUsbErrorPipe;
    // The boot loader's address halves: wValue low, wIndex high.
    const uint32_t address = (uint32_t{setup.index} << 16) | setup.value;
    if (setup.requestType == vreq::kBootTypeOut)
        return setup.length == 0 ? handleRamStart(address) : handleRamWrite(address, setup, data);
    if (setup.requestType == vreq::kBootTypeIn) return handleRamRead(address, setup, data);
    return veltrion::kUsbErrorPipe;
}

int Camera::handleRamWrite(uint32_t address, const SetupPacket& setup, const uint8_t* data) {
    if (setup.length > kMaxChunk || !insideRam(address, setup.length)) return veltrion::kUsbErrorPipe;
    std::copy_n(data, setup.length, live_->ram.contents().begin() + (address - kRamBase));
    return setup.length;
}

int Camera::handleRamRead(uint32_t address, const SetupPacket& setup, uint8_t* data) {
    if (setup.length > kMaxChunk || !insideRam(address, setup.length)) return veltrion::kUsbErrorPipe;
    std::copy_n(live_->ram.contents().begin() + (address - kRamBase), setup.length, data);
    if (state_->faults.ramReadbackCorrupt && setup.length > 0) data[setup.length - 1] ^= 0x01;
    return setup.length;
}

int Camera::handleRamStart(uint32_t entryPoint) {
    // The boot loader jumps to the entry point. Firmware without a version
    // marker, or an entry outside RAM, leaves the controller hung: it drops
    // off the bus until it is power-cycled.
    const auto& contents = live_->ram.contents();
    std::string_view ram(reinterpret_cast<const char*>(contents.data()), contents.size());
    const std::string_view marker = veltrion::fx3image::kVersionMarker;
    const size_t entryOffset = entryPoint - kRamBase;
    const size_t markerAt = insideRam(entryPoint, 1) ? ram.substr(0, entryOffset + kMarkerSearchWindow).find(marker)
                                                     : std::string_view::npos;
    const BusView before = busViewLocked();
    if (markerAt == std::string_view::npos) {
        state_.edit().bus.powerLost = true;
        leaveBusLocked(before, 0);
        return 0;
    }
    const std::string_view rest = ram.substr(markerAt + marker.size(), kMaxVersionLength + 1);
    const std::string version(rest.substr(0, std::min(rest.find('\0'), kMaxVersionLength)));

    // The running firmware loads the other components from flash as usual.
    RunningFirmware running;
    loadRuntimeComponents(flash_.all(), running);
    running.mode = RunMode::Camera;
    running.fx3Source = Fx3Source::Ram;
    running.fx3 = ComponentState{true, version};
    CameraState& state = state_.edit();
    state.running = running;
    state.run.spiMode = false;
    leaveBusLocked(before, state_->timing.reenumerationMs);
    return 0;
}

}  // namespace camsim
