// Flash requests: SPI mode, status, program, read, erase and the LED. The
// address of a request is wValue (bits 31..16) and wIndex (bits 15..0).

#include <array>

#include "Camera.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"
#include "format/FlashMap.h"

namespace camsim {

namespace vreq = veltrion::vreq;
using namespace veltrion::flashmap;

namespace {

// 0xC1 is the synchronous status request and 0xC4 the plain one; the shared
// code table names them the other way round, so they get clear names here.
constexpr uint8_t kSyncStatusRequest = vreq::kFlashStatusSync;
constexpr uint8_t kPlainStatusRequest = vreq::kFlashStatusPlain;
static_assert(kSyncStatusRequest == 0xC1 && kPlainStatusRequest == 0xC4);

constexpr size_t kStatusSize = 2;
constexpr uint8_t kStatusBusy = 0x01;
constexpr uint16_t kSpiModeIndexV3 = 1;
constexpr uint16_t kLedOff = 0;
constexpr uint16_t kLedOn = 1;
constexpr uint8_t kDirectionIn = 0x80;

uint32_t flashAddress(const SetupPacket& setup) { return static_cast<uint32_t>(setup.value) << 16 | setup.index; }

}  // namespace

int Camera::handleFlashRequest(const SetupPacket& setup, uint8_t* data) {
    switch (setup.request) {
        case kSyncStatusRequest:
        case kPlainStatusRequest: return handleFlashStatus(setup, data);
        case vreq::kFlashProgram: return handleFlashProgram(setup, data);
        case vreq::kFlashRead: return handleFlashRead(setup, data);
        case vreq::kFlashErase64K:
        case vreq::kFlashErase32K:
        case vreq::kFlashErase4K: return handleFlashErase(setup, data);
        case vreq::kSpiModeEnter:
        case vreq::kSpiModeLeave: return handleSpiMode(setup, data);
        case vreq::kLed: return handleLed(setup, data);
        default: return veltrion::kUsbErrorPipe;
    }
}

int Camera::handleFlashStatus(const SetupPacket& setup, uint8_t* data) {
    if (setup.request == kSyncStatusRequest && state_->faults.refuseSyncStatus) return veltrion::kUsbErrorPipe;
    const bool busy = state_->faults.busyStuck || SteadyClock::now() < live_->busyUntil;
    const std::array<uint8_t, kStatusSize> status = {static_cast<uint8_t>(busy ? kStatusBusy : 0), 0};
    const int result = replyIn(setup, data, status);
    if (result >= 0) ++live_->counters.statusPolls;
    return result;
}

int Camera::handleFlashProgram(const SetupPacket& setup, uint8_t* data) {
    // Host-to-device; only in SPI mode, when the controller has let go of the flash.
    if ((setup.requestType & kDirectionIn) || !flashWritable()) return veltrion::kUsbErrorPipe;
    const uint32_t address = flashAddress(setup);
    if (setup.length == 0 || setup.length > kPageSize || address >= flash_.size()) return veltrion::kUsbErrorPipe;
    waitWhileBusy();
    flash_.program(address, std::span<const uint8_t>(data, setup.length));
    startBusy(state_->timing.pageProgramUs);
    ++live_->counters.pagesProgrammed;
    afterPageProgrammed();
    return setup.length;
}

bool Camera::readFaultStrikes(uint32_t address, uint32_t length) {
    const Faults& faults = state_->faults;
    if (faults.failReadAt < 0) return false;
    const uint64_t page = static_cast<uint64_t>(faults.failReadAt) / kPageSize;
    if (address / kPageSize > page || (uint64_t{address} + length - 1) / kPageSize < page) return false;
    if (faults.failReadAfter == 0) return true;
    --state_.edit().faults.failReadAfter;
    return false;
}

int Camera::handleFlashRead(const SetupPacket& setup, uint8_t* data) {
    // Reads work in any mode: the controller reads the flash itself.
    const uint32_t address = flashAddress(setup);
    if (setup.length == 0 || setup.length > kPageSize || address >= flash_.size() ||
        setup.length > flash_.size() - address)
        return veltrion::kUsbErrorPipe;
    if (readFaultStrikes(address, setup.length)) return veltrion::kUsbErrorIo;
    waitWhileBusy();
    std::array<uint8_t, kPageSize> page{};
    flash_.read(address, std::span(page).first(setup.length));
    return replyIn(setup, data, std::span(page).first(setup.length));
}

int Camera::handleFlashErase(const SetupPacket& setup, uint8_t* data) {
    const uint32_t address = flashAddress(setup);
    if (!flashWritable() || address >= flash_.size()) return veltrion::kUsbErrorPipe;
    uint32_t sectorSize = kSector4K;
    uint32_t eraseUs = state_->timing.erase4kUs;
    uint64_t* counter = &live_->counters.sectorsErased4k;
    if (setup.request == vreq::kFlashErase64K) {
        sectorSize = kSector64K;
        eraseUs = state_->timing.erase64kUs;
        counter = &live_->counters.sectorsErased64k;
    } else if (setup.request == vreq::kFlashErase32K) {
        sectorSize = kSector32K;
        eraseUs = state_->timing.erase32kUs;
        counter = &live_->counters.sectorsErased32k;
    }
    const int result = acknowledge(setup, data);
    if (result < 0) return result;
    waitWhileBusy();
    if (eraseCutByPowerLoss()) {
        // The cells of an interrupted erase are left part erased: here the
        // upper half of the sector, so the lower half, and any signature in
        // it, still reads as before over a body that is gone.
        const uint32_t sectorStart = address - address % sectorSize;
        flash_.erase(sectorStart + sectorSize / 2, sectorSize / 2);
        losePower();
        return result;
    }
    flash_.erase(address, sectorSize);
    startBusy(eraseUs);
    ++*counter;
    return result;
}

int Camera::handleSpiMode(const SetupPacket& setup, uint8_t* data) {
    // V3 firmware hands the flash over only when asked with index 1; older
    // firmware does not look at the index.
    if (setup.request == vreq::kSpiModeEnter && isV3Group() && setup.index != kSpiModeIndexV3)
        return veltrion::kUsbErrorPipe;
    const int result = acknowledge(setup, data);
    const bool spiMode = setup.request == vreq::kSpiModeEnter;
    if (result >= 0 && state_->run.spiMode != spiMode) state_.edit().run.spiMode = spiMode;
    return result;
}

int Camera::handleLed(const SetupPacket& setup, uint8_t* data) {
    if (setup.value != kLedOff && setup.value != kLedOn) return veltrion::kUsbErrorPipe;
    const int result = acknowledge(setup, data);
    if (result >= 0) live_->led = setup.value == kLedOn;
    return result;
}

void Camera::afterPageProgrammed() {
    if (state_->faults.powerLossAfterPages == 0 || --state_.edit().faults.powerLossAfterPages > 0) return;
    losePower();
}

bool Camera::eraseCutByPowerLoss() {
    return state_->faults.powerLossDuringErase != 0 && --state_.edit().faults.powerLossDuringErase == 0;
}

void Camera::losePower() {
    // The power fails: the fault is spent, and the camera is off the bus
    // until it is plugged in again.
    const BusView before = busViewLocked();
    CameraState& state = state_.edit();
    state.bus.powerLost = true;
    state.run.spiMode = false;
    live_->led = false;
    live_->busyUntil = {};
    leaveBusLocked(before, 0);
}

}  // namespace camsim
