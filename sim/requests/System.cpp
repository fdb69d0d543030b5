// System requests of the running firmware: whether its subsystems loaded,
// whether the FPGA loaded, the version block, USB type, external power,
// streaming state, and reset.

#include <array>

#include "Camera.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"
#include "base/ByteLayout.h"
#include "base/VersionNumber.h"

namespace camsim {

namespace vreq = veltrion::vreq;

namespace {

// Version block entry bytes 0..5, which the host does not interpret: the
// entry's index, whether its component is valid, and its packed version.
constexpr size_t kEntryIndexByte = 0;
constexpr size_t kEntryValidByte = 1;
constexpr size_t kEntryPackedOffset = 2;
constexpr size_t kMaxVersionText = vreq::kVersionEntrySize - vreq::kVersionTextOffset - 1;
constexpr uint32_t kPackedUnknown = 0xFFFFFFFF;

void writeEntry(std::array<uint8_t, vreq::kVersionBlockSize>& block, uint16_t entry, const ComponentState& component) {
    const size_t base = entry * vreq::kVersionEntrySize;
    block[base + kEntryIndexByte] = static_cast<uint8_t>(entry);
    block[base + kEntryValidByte] = component.valid ? 1 : 0;
    uint32_t packed = kPackedUnknown;
    if (component.valid && veltrion::parseVersionText(component.version, packed) != veltrion::VersionParse::Ok)
        packed = kPackedUnknown;
    for (size_t i = 0; i < 4; ++i) block[base + kEntryPackedOffset + i] = static_cast<uint8_t>(packed >> (8 * i));
    const std::string text = component.valid ? component.version.substr(0, kMaxVersionText) : std::string();
    std::copy(text.begin(), text.end(), block.begin() + static_cast<std::ptrdiff_t>(base + vreq::kVersionTextOffset));
}

}  // namespace

int Camera::handleSystemLoaded(const SetupPacket& setup, uint8_t* data) {
    if (state_->faults.refuseSystemLoaded) return veltrion::kUsbErrorPipe;
    bool loaded = state_->running.allValid();
    if (state_->run.systemLoaded == SystemLoadedOverride::On) loaded = true;
    if (state_->run.systemLoaded == SystemLoadedOverride::Off) loaded = false;
    const uint8_t reply[1] = {static_cast<uint8_t>(loaded ? 1 : 0)};
    return replyIn(setup, data, reply);
}

int Camera::handleFpgaLoaded(const SetupPacket& setup, uint8_t* data) {
    const uint8_t reply[1] = {static_cast<uint8_t>(state_->running.fpga.valid ? 1 : 0)};
    return replyIn(setup, data, reply);
}

int Camera::handleQuery(const SetupPacket& setup, uint8_t* data) {
    switch (setup.index) {
        case vreq::kQueryVersions: return handleVersionBlock(setup, data);
        case vreq::kQueryPreset: return handlePreset(setup, data);
        case face::kQuerySensitivity: return handleFaceSensitivity(setup, data);
        case face::kQueryFaceBox: return handleFaceBox(setup, data);
        case vreq::kQueryUsbType: {
            const uint8_t reply[1] = {static_cast<uint8_t>(state_->run.usbType)};
            return replyIn(setup, data, reply);
        }
        case vreq::kQueryExternalPower: {
            const uint8_t reply[1] = {static_cast<uint8_t>(state_->run.externalPower)};
            return replyIn(setup, data, reply);
        }
        case vreq::kQueryStreaming: {
            if (setup.value != vreq::kQueryStreamingValue) return veltrion::kUsbErrorPipe;
            const uint8_t reply[1] = {static_cast<uint8_t>(state_->run.streaming ? vreq::kStreamingActive : 0)};
            return replyIn(setup, data, reply);
        }
        case vreq::kQueryComponentChecksum: return handleComponentChecksum(setup, data);
        case vreq::kQueryCalibration: return handleCalibration(setup, data);
        // Any other index is a feature code of the camera's feature JSON.
        default: return handleFeatureQuery(setup, data);
    }
}

int Camera::handleVersionBlock(const SetupPacket& setup, uint8_t* data) {
    std::array<uint8_t, vreq::kVersionBlockSize> block{};
    writeEntry(block, vreq::kVersionEntryFx3, state_->running.fx3);
    writeEntry(block, vreq::kVersionEntryFpga, state_->running.fpga);
    writeEntry(block, vreq::kVersionEntryAudio, state_->running.audio);
    writeEntry(block, vreq::kVersionEntryIsp, state_->running.isp);
    return replyIn(setup, data, block);
}

int Camera::handleReset(const SetupPacket& setup, uint8_t* data) {
    // Answer first, then drop off the bus and boot again from flash.
    const int result = acknowledge(setup, data);
    if (result < 0) return result;
    const BusView before = busViewLocked();
    ++live_->counters.resets;
    live_->busyUntil = {};
    bootLocked();
    leaveBusLocked(before, state_->timing.reenumerationMs);
    return result;
}

}  // namespace camsim
