#include "Camera.h"

#include <algorithm>
#include <thread>

#include "BootChain.h"
#include "ExtensionUnit.h"
#include "HotplugEvents.h"
#include "SimError.h"
#include "device/CameraIdentity.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"
#include "format/FlashMap.h"
#include "config/RegisterMap.h"

namespace camsim {

namespace vreq = veltrion::vreq;

namespace {

// bmRequestType fields.
constexpr uint8_t kDirectionIn = 0x80;
constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;

// One more transfer of an armed request fault; true when it was the last one
// it waited for (the fault is then spent).
bool countDown(std::map<uint8_t, uint32_t>& armed, uint8_t request) {
    const auto entry = armed.find(request);
    if (--entry->second > 0) return false;
    armed.erase(entry);
    return true;
}

}  // namespace

Camera::Camera(std::filesystem::path folder)
    : folder_(std::move(folder)),
      videoLock_(folder_.videoLockFile()),
      state_(folder_.load()),
      flashFile_(folder_.flashFile(), veltrion::flashmap::kFlashSize),
      flash_(flashFile_.bytes()),
      liveFile_(folder_.liveFile(), sizeof(LiveState), MappedFile::Open::CreateZeroed),
      live_(reinterpret_cast<LiveState*>(liveFile_.bytes().data())) {
    // The block's own lock cannot guard setting the block up: processes
    // opening the camera at once agree on that through a lock file.
    const FileLock setUp(folder_.stateLockFile(), FileLock::Mode::Exclusive);
    if (live_->magic != LiveState::kMagic) initLiveLocked();
}

void Camera::initLiveLocked() {
    // The first process to run the camera (or a bus made before the block
    // existed): what camera.json counted carries over.
    *live_ = LiveState{};
    live_->stateMutex.init();
    state_.reset(folder_.load());
    live_->revision = state_->revision;
    live_->counters = state_->counters;
    live_->led = state_->run.led;
    live_->registers.powerOn();
    live_->magic = LiveState::kMagic;
}

Camera::Request::Request(Camera& camera) : camera_(camera), lock_(camera.live_->stateMutex) {
    camera_.syncLocked();
}

Camera::Request::~Request() {
    try {
        camera_.commitLocked();
    } catch (const SimError&) {
        // camera.json could not be written; the next change saves again.
    }
}

void Camera::syncLocked() {
    if (live_->revision == state_->revision || live_->removed) return;
    try {
        state_.reset(folder_.load());
    } catch (const SimError&) {
        // The folder is going away under a remove; keep what we have.
    }
}

void Camera::commitLocked() {
    if (!state_.edited() || live_->removed) return;
    CameraState& saved = state_.edit();
    saved.counters = live_->counters;
    saved.run.led = live_->led;
    saved.revision = std::max(live_->revision, saved.revision) + 1;
    folder_.write(saved);
    live_->revision = saved.revision;
    state_.markSaved();
}

bool Camera::presentLocked() const {
    return !live_->removed && !state_->bus.powerLost && wallClockMs() >= state_->bus.absentUntilMs;
}

BusView Camera::busViewLocked() const {
    BusView view;
    view.present = presentLocked();
    view.attached = !live_->removed && !state_->bus.powerLost;
    view.arrivalMs = state_->bus.absentUntilMs;
    view.bootLoader = state_->running.mode == RunMode::BootLoader;
    if (view.bootLoader) {
        view.vendorId = veltrion::kBootLoaderVendorId;
        view.productId = veltrion::kBootLoaderProductId;
    } else {
        view.vendorId = state_->identity.vendorId;
        view.productId = state_->identity.productId;
        view.serial = state_->identity.serial;
        view.friendlyName = state_->identity.friendlyName;
        view.serialHidden = state_->identity.serialHidden;
    }
    return view;
}

BusView Camera::busView() {
    const Request request(*this);
    return busViewLocked();
}

uint64_t Camera::enumeration() const {
    std::lock_guard lock(live_->stateMutex);
    return live_->enumeration;
}

bool Camera::detached() const {
    // The flag lives in the shared block: one plain read is enough to tell.
    std::lock_guard lock(live_->stateMutex);
    return live_->removed;
}

int Camera::openHandle(uint16_t vendorId, uint16_t productId, uint64_t& enumeration) {
    const Request request(*this);
    const BusView view = busViewLocked();
    if (!view.present || view.vendorId != vendorId || view.productId != productId)
        return veltrion::kUsbErrorNoDevice;
    enumeration = live_->enumeration;
    return 0;
}

int Camera::transfer(uint64_t enumeration, const SetupPacket& setup, uint8_t* data) {
    const Request request(*this);
    if (enumeration != live_->enumeration || !presentLocked()) return veltrion::kUsbErrorNoDevice;
    return transferLocked(setup, data);
}

int Camera::transferLocked(const SetupPacket& setup, uint8_t* data) {
    if (setup.length > 0 && data == nullptr) return veltrion::kUsbErrorInvalidParam;
    if (state_->timing.transferLatencyUs > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(state_->timing.transferLatencyUs));

    ++live_->counters.transfers[setup.request];
    // Armed faults are looked up first and changed (saved) only when they fire.
    if (state_->faults.failNext.contains(setup.request)) {
        countDown(state_.edit().faults.failNext, setup.request);
        return veltrion::kUsbErrorIo;
    }
    if (state_->faults.failNth.contains(setup.request) && countDown(state_.edit().faults.failNth, setup.request))
        return veltrion::kUsbErrorIo;
    if (!(setup.requestType & kDirectionIn) || !state_->faults.shortReply.contains(setup.request))
        return dispatch(setup, data);
    countDown(state_.edit().faults.shortReply, setup.request);

    // The camera acts on the request but its reply comes short: half of what
    // was asked for, nothing of a one-byte reply. The host's buffer past what
    // arrived keeps what it held.
    std::vector<uint8_t> reply(setup.length);
    const int result = dispatch(setup, reply.data());
    if (result < 0) return result;
    const int count = std::min<int>(result, setup.length / 2);
    std::copy_n(reply.begin(), count, data);
    return count;
}

int Camera::dispatch(const SetupPacket& setup, uint8_t* data) {
    try {
        if ((setup.requestType & kTypeMask) == kTypeStandard) return handleStandard(setup, data);
        if (state_->running.mode == RunMode::BootLoader) return handleBootLoader(setup, data);
        return handleVendor(setup, data);
    } catch (const SimError&) {
        // The hot-plug log could not be written at a reset or power loss.
        return veltrion::kUsbErrorIo;
    }
}

int Camera::handleVendor(const SetupPacket& setup, uint8_t* data) {
    if ((setup.requestType & kTypeMask) != (vreq::kTypeIn & kTypeMask)) return veltrion::kUsbErrorPipe;
    switch (setup.request) {
        case vreq::kSystemLoaded: return handleSystemLoaded(setup, data);
        case kFpgaLoadedRequest: return handleFpgaLoaded(setup, data);
        case vreq::kQuery: return handleQuery(setup, data);
        case vreq::kUsbReset: return handleReset(setup, data);
        case vreq::kFlashStatusSync:
        case vreq::kFlashStatusPlain:
        case vreq::kFlashProgram:
        case vreq::kFlashRead:
        case vreq::kFlashErase64K:
        case vreq::kFlashErase32K:
        case vreq::kFlashErase4K:
        case vreq::kSpiModeEnter:
        case vreq::kSpiModeLeave:
        case vreq::kLed: return handleFlashRequest(setup, data);
        case veltrion::reg::kSelectBranch:
        case veltrion::reg::kReadBridged:
        case veltrion::reg::kWriteBridged:
        case veltrion::reg::kReadSensor:
        case veltrion::reg::kWriteSensor: return handleRegister(setup, data);
        case vreq::kEeprom: return handleEeprom(setup, data);
        case vreq::kSelfTest: return handleSelfTest(setup, data);
        case vreq::kIspInfo0:
        case vreq::kIspInfo1:
        case vreq::kIspInfo2: return handleIspInfo(setup, data);
        case vreq::kMonitorData: return handleMonitorData(setup, data);
        default: return veltrion::kUsbErrorPipe;
    }
}

int Camera::replyIn(const SetupPacket& setup, uint8_t* data, std::span<const uint8_t> reply) {
    if (!(setup.requestType & kDirectionIn)) return veltrion::kUsbErrorPipe;
    const size_t count = std::min<size_t>(setup.length, reply.size());
    std::copy_n(reply.begin(), count, data);
    return static_cast<int>(count);
}

int Camera::acknowledge(const SetupPacket& setup, uint8_t* data) {
    // Action requests carry a 1-byte IN stage whose content means nothing.
    static constexpr uint8_t kAck[1] = {0};
    return replyIn(setup, data, kAck);
}

bool Camera::isV3Group() const {
    return veltrion::getFwGroupFromVidPid(state_->identity.vendorId, state_->identity.productId).find("V3") !=
           std::string::npos;
}

void Camera::bootLocked() {
    CameraState& state = state_.edit();
    state.running = bootFromFlash(flash_.all());
    state.run.spiMode = false;
    live_->registers.powerOn();
    // The FX3 firmware carries the USB descriptors: a camera that boots the
    // firmware of another identity of its line (with or without audio)
    // enumerates with that identity's product id.
    if (state.running.mode == RunMode::Camera && state.running.fx3.valid) {
        const std::string key = veltrion::getVidPidStrFromFx3VerStr(state.running.fx3.version);
        const veltrion::CameraIdentity* identity = nullptr;
        for (const auto& known : veltrion::cameraIdentities())
            if (key == known.key) identity = &known;
        if (identity && identity->firmwareGroup ==
                            veltrion::getFwGroupFromVidPid(identity->vendorId, state.identity.productId))
            state.identity.productId = identity->productId;
    }
}

void Camera::leaveBusLocked(const BusView& before, uint32_t reenumerationMs) {
    ++live_->enumeration;
    live_->latch = {};
    live_->ram.loaded = false;
    state_.edit().run.streaming = false;  // the host's stream ends with the device
    const int64_t now = wallClockMs();
    state_.edit().bus.absentUntilMs = now + reenumerationMs;

    const auto busDir = folder_.path().parent_path();
    // A node still arriving leaves once it has arrived: a camera's events
    // stay in the order of their due times.
    if (before.attached)
        appendBusEvent(busDir, nodeEvent(veltrion::HotplugEvent::Kind::Removal, name(), before,
                                         std::max(now, before.arrivalMs)));
    if (!state_->bus.powerLost)
        appendBusEvent(busDir, nodeEvent(veltrion::HotplugEvent::Kind::Arrival, name(), busViewLocked(),
                                         state_->bus.absentUntilMs));
}

void Camera::powerCycle() {
    const Request request(*this);
    if (live_->removed) throw SimError("camera '" + name() + "' was removed");
    const BusView before = busViewLocked();
    ++live_->counters.powerCycles;
    state_.edit().bus.powerLost = false;
    live_->led = false;
    live_->busyUntil = {};
    bootLocked();
    leaveBusLocked(before, state_->timing.reenumerationMs);
}

void Camera::detach() {
    const Request request(*this);
    if (live_->removed) return;
    const BusView before = busViewLocked();
    live_->removed = true;
    ++live_->enumeration;
    if (before.attached)
        appendBusEvent(folder_.path().parent_path(),
                       nodeEvent(veltrion::HotplugEvent::Kind::Removal, name(), before,
                                 std::max(wallClockMs(), before.arrivalMs)));
}

void Camera::update(const std::function<void(CameraState&)>& change) {
    const Request request(*this);
    if (live_->removed) throw SimError("camera '" + name() + "' was removed");
    change(state_.edit());
    // Saved now, so a failure reaches the caller (the request's own save at
    // its end then finds nothing new).
    commitLocked();
}

CameraState Camera::snapshot() {
    const Request request(*this);
    CameraState state = *state_;
    state.counters = live_->counters;
    state.run.led = live_->led;
    return state;
}

void Camera::writeFlashDirect(uint32_t address, std::span<const uint8_t> bytes) {
    const Request request(*this);
    auto flash = flashFile_.bytes();
    if (address > flash.size() || bytes.size() > flash.size() - address)
        throw SimError("flash range outside the chip");
    std::copy(bytes.begin(), bytes.end(), flash.begin() + address);
}

std::vector<uint8_t> Camera::readFlashDirect(uint32_t address, uint32_t length) const {
    std::lock_guard lock(live_->stateMutex);
    std::vector<uint8_t> out(length);
    if (!flash_.read(address, out)) throw SimError("flash range outside the chip");
    return out;
}

void Camera::waitWhileBusy() {
    if (SteadyClock::now() < live_->busyUntil) std::this_thread::sleep_until(live_->busyUntil);
}

void Camera::startBusy(uint32_t microseconds) {
    live_->busyUntil = SteadyClock::now() + std::chrono::microseconds(microseconds);
}

}  // namespace camsim
