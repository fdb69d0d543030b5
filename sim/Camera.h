#pragma once

// One simulated camera: its USB controller answering control transfers, its
// flash and its persisted state. One object per camera folder and process
// (see Registry); every handle and bus operation of the process shares it.
// Every process on the bus sees one device: each request runs under the
// camera's state lock (threads and processes alike), starts from what any
// process left (camera.json and the shared LiveState block) and leaves what
// it changed there before the lock is released.

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "BusView.h"
#include "CameraFolder.h"
#include "CameraState.h"
#include "FileLock.h"
#include "LiveState.h"
#include "MappedFile.h"
#include "NorFlash.h"
#include "SavedState.h"
#include "device/uvc/VideoPort.h"

namespace camsim {

struct SetupPacket {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

class Camera {
public:
    // Loads camera.json and maps the flash; throws SimError.
    explicit Camera(std::filesystem::path folder);

    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    std::string name() const { return folder_.name(); }
    const std::filesystem::path& folder() const { return folder_.path(); }

    BusView busView();
    // Changes whenever the camera leaves the bus; a handle opened before
    // then is dead.
    uint64_t enumeration() const;

    // Opens a handle when the camera is on the bus with this identity.
    // Returns 0 and the enumeration the handle belongs to, or a negative
    // veltrion::UsbError.
    int openHandle(uint16_t vendorId, uint16_t productId, uint64_t& enumeration);

    // One control transfer from a handle opened in the given enumeration.
    // Returns the bytes transferred or a negative veltrion::UsbError.
    int transfer(uint64_t enumeration, const SetupPacket& setup, uint8_t* data);

    // The camera's video function (its UVC capture node). A source opened
    // on it is bound to the enumeration it was opened in. Its calls are
    // served one at a time per camera, across processes, as the video driver
    // serialises them per device: a stalled call holds up the next one.
    // openVideoSource returns 0 or -ENODEV when no camera with this identity
    // runs on the bus (the serial as the capture node shows it).
    int openVideoSource(uint16_t vendorId, uint16_t productId, const std::string& serial, uint64_t& enumeration);
    // True once the enumeration has ended or the camera's folder is gone.
    bool videoSourceGone(uint64_t enumeration);

    // Each returns 0 or a negative errno, as uvcvideo's ioctls do: -ENODEV
    // once the camera has left the bus (or runs as its boot loader), -ENOENT
    // for a selector the unit does not have, -ENOBUFS for a size that is not
    // the control's length, -EIO when the camera stalls; -EINVAL for a
    // standard control it does not offer, -EBUSY for a value while the
    // control's automatic switch is on.
    int extensionUnitQuery(uint64_t enumeration, uint8_t selector, veltrion::XuQuery query, uint8_t* data,
                           uint16_t size);
    int videoControlQuery(uint64_t enumeration, veltrion::VideoControlId id, veltrion::VideoControlRange& range);
    int videoControlGet(uint64_t enumeration, veltrion::VideoControlId id, int32_t& value);
    int videoControlSet(uint64_t enumeration, veltrion::VideoControlId id, int32_t value);
    // The class-specific descriptors of the camera's VideoControl interface
    // (header, input terminal, processing unit, extension unit, output
    // terminal), as its configuration descriptor carries them.
    static std::vector<uint8_t> videoControlDescriptors();

    // Unplug and plug in again: power cycle, boot from flash, re-enumerate.
    void powerCycle();
    // The camera's folder is going away: every handle dies, nothing is saved.
    void detach();
    bool detached() const;

    // Changes the state under the camera's lock and saves it (counters go
    // into the shared block).
    void update(const std::function<void(CameraState&)>& change);
    CameraState snapshot();

    // Flash access from outside the controller (a programmer clip on the
    // chip): the change shows in the versions after the next reset.
    void writeFlashDirect(uint32_t address, std::span<const uint8_t> bytes);
    std::vector<uint8_t> readFlashDirect(uint32_t address, uint32_t length) const;

private:
    using SteadyClock = std::chrono::steady_clock;

    // The camera held for one request: this process's other threads and
    // every other process wait (the state lock in the shared block). It
    // starts from what other processes left and saves what the request
    // changed (camera.json) when it ends.
    class Request {
    public:
        explicit Request(Camera& camera);
        ~Request();
        Request(const Request&) = delete;
        Request& operator=(const Request&) = delete;

    private:
        Camera& camera_;
        std::lock_guard<SharedMutex> lock_;
    };
    // The video function held for one call, across threads and processes.
    struct VideoCall {
        explicit VideoCall(Camera& camera) : threads(camera.videoMutex_), processes(camera.videoLock_) {}
        std::lock_guard<std::mutex> threads;
        std::lock_guard<LockFile> processes;
    };

    // Picks up what another process saved; the state lock is held.
    void syncLocked();
    // Leaves what the request changed for the next one; the lock is held.
    void commitLocked();
    // Sets up a block no process has used yet; the lock is held.
    void initLiveLocked();

    // One transfer with its latency, counters and faults; the lock is held.
    int transferLocked(const SetupPacket& setup, uint8_t* data);
    // Hands a transfer to the handler of its kind; the lock is held.
    int dispatch(const SetupPacket& setup, uint8_t* data);
    // Requests, by concern (requests/*.cpp).
    int handleStandard(const SetupPacket& setup, uint8_t* data);
    int handleDeviceDescriptor(const SetupPacket& setup, uint8_t* data);
    int handleStringDescriptor(const SetupPacket& setup, uint8_t* data);
    int handleBootLoader(const SetupPacket& setup, uint8_t* data);
    int handleRamWrite(uint32_t address, const SetupPacket& setup, const uint8_t* data);
    int handleRamRead(uint32_t address, const SetupPacket& setup, uint8_t* data);
    int handleRamStart(uint32_t entryPoint);
    int handleVendor(const SetupPacket& setup, uint8_t* data);
    int handleSystemLoaded(const SetupPacket& setup, uint8_t* data);
    int handleQuery(const SetupPacket& setup, uint8_t* data);
    int handleVersionBlock(const SetupPacket& setup, uint8_t* data);
    int handleReset(const SetupPacket& setup, uint8_t* data);
    int handleFlashRequest(const SetupPacket& setup, uint8_t* data);
    int handleFlashStatus(const SetupPacket& setup, uint8_t* data);
    int handleFlashProgram(const SetupPacket& setup, uint8_t* data);
    int handleFlashRead(const SetupPacket& setup, uint8_t* data);
    int handleFlashErase(const SetupPacket& setup, uint8_t* data);
    int handleSpiMode(const SetupPacket& setup, uint8_t* data);
    int handleLed(const SetupPacket& setup, uint8_t* data);
    int handleComponentChecksum(const SetupPacket& setup, uint8_t* data);
    int handleFpgaLoaded(const SetupPacket& setup, uint8_t* data);
    int handlePreset(const SetupPacket& setup, uint8_t* data);
    // Self-test block and ISP information texts (requests/SelfTest.cpp).
    int handleSelfTest(const SetupPacket& setup, uint8_t* data);
    int handleIspInfo(const SetupPacket& setup, uint8_t* data);
    // Face detection (requests/FaceDetection.cpp) and the monitors' records
    // on request 0xFD (requests/Monitors.cpp).
    int handleFaceSensitivity(const SetupPacket& setup, uint8_t* data);
    int handleFaceBox(const SetupPacket& setup, uint8_t* data);
    int handleMonitorData(const SetupPacket& setup, uint8_t* data);
    int handleMonitorSelect(const SetupPacket& setup, uint8_t* data);
    int handleMonitorRead(const SetupPacket& setup, uint8_t* data);
    // Configuration block, registers, EEPROM and feature queries.
    int handleCalibration(const SetupPacket& setup, uint8_t* data);
    int handleRegister(const SetupPacket& setup, uint8_t* data);
    int handleEeprom(const SetupPacket& setup, uint8_t* data);
    int handleFeatureQuery(const SetupPacket& setup, uint8_t* data);

    // Helpers shared by the handlers; the lock is held.
    static int replyIn(const SetupPacket& setup, uint8_t* data, std::span<const uint8_t> reply);
    static int acknowledge(const SetupPacket& setup, uint8_t* data);
    void waitWhileBusy();
    void startBusy(uint32_t microseconds);
    bool isV3Group() const;
    // True when the armed read fault strikes a flash read of these bytes.
    bool readFaultStrikes(uint32_t address, uint32_t length);
    void afterPageProgrammed();
    // True when the armed power cut strikes this erase.
    bool eraseCutByPowerLoss();
    void losePower();

    // The extension unit (requests/ExtensionUnit.cpp); the lock is held.
    int extensionUnitLocked(uint8_t selector, veltrion::XuQuery query, uint8_t* data, uint16_t size);
    // Runs a vendor request for the extension unit: 0, or -EIO when it
    // fails or its reply brings fewer than `needed` bytes into `data`.
    int runForExtensionUnit(const SetupPacket& setup, uint8_t* data, uint16_t needed);
    // The flash requests may write without SPI mode while a request of the
    // extension unit runs: the firmware hands the flash over for those itself,
    // as the host never sends the SPI-mode request on that channel.
    bool flashWritable() const { return state_->run.spiMode || viaExtensionUnit_; }
    // Runs the request of a 7-byte header and latches its reply.
    int runLatchedRequest(std::span<const uint8_t> header);
    // The standard controls (requests/VideoControls.cpp); the lock is held.
    int videoControlSetLocked(veltrion::VideoControlId id, int32_t value);

    // True when the video function of this enumeration is there to answer.
    bool videoFunctionLocked(uint64_t enumeration) const;

    bool presentLocked() const;
    BusView busViewLocked() const;
    void bootLocked();
    // Leaves the bus for re-enumeration, or for good after a power loss; the
    // view is the camera's before it changed (for the bus's event log).
    void leaveBusLocked(const BusView& before, uint32_t reenumerationMs);
    void saveLocked();

    CameraFolder folder_;
    std::mutex videoMutex_;  // before videoLock_, both before the state lock
    LockFile videoLock_;
    // camera.json as this process last read or wrote it. Its counters and
    // LED are the shared block's (snapshot fills them in).
    SavedState state_;
    MappedFile flashFile_;
    NorFlash flash_;
    MappedFile liveFile_;
    LiveState* live_;
    // The flash requests may write without SPI mode while a request of the
    // extension unit runs (see flashWritable).
    bool viaExtensionUnit_ = false;

    // The selection of the current enumeration (a fresh one after a reset).
    MonitorSelection& monitorSelectionLocked();
};

}  // namespace camsim
