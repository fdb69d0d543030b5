#pragma once

// Everything a simulated camera remembers between processes (camera.json):
// who it is, its run-time state, what firmware it booted, its timing model,
// the faults armed on it and its counters.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "FaceState.h"
#include "SelfTestState.h"

namespace camsim {

struct Identity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    std::string friendlyName;
    std::string model;  // model description of the identity table
    // The capture node's USB parent gives no serial number (the vendor
    // channel still reads it from the string descriptor).
    bool serialHidden = false;
    // What the serial-number string descriptor says when it is not the
    // serial above (a damaged or hostile camera); the bus still lists it
    // under the serial above.
    std::optional<std::string> serialAnswer;

    bool operator==(const Identity&) const = default;
};

enum class SystemLoadedOverride { Auto, Off, On };

struct RunState {
    int usbType = 3;        // 3 = SuperSpeed port, 2 = high-speed port
    int externalPower = 1;  // 1 when the 5 V supply is plugged in
    bool streaming = false;
    SystemLoadedOverride systemLoaded = SystemLoadedOverride::Auto;
    bool spiMode = false;  // the flash is handed to the host
    bool led = false;
    std::array<float, 3> sensorTempC = {41.0f, 42.5f, 40.0f};  // what each image sensor measures
    int32_t lastPreset = -1;  // the last preset word the camera accepted, -1 for none

    bool operator==(const RunState&) const = default;
};

// The video function's own state: the run-time switches of the extension
// unit and the standard controls (by control name; a missing one holds its
// default).
struct VideoState {
    bool ready = true;  // the run-time switches can be used
    // The firmware has the framing and enhancement controls at all; without
    // them their selectors stall.
    bool switchesPresent = true;
    bool framing = false;
    bool enhancement = false;
    std::map<std::string, int32_t> controls;

    bool operator==(const VideoState&) const = default;
};

enum class RunMode { Camera, BootLoader };
enum class Fx3Source { Main, Backup, Ram, None };  // Ram: downloaded through the boot loader

struct ComponentState {
    bool valid = false;
    std::string version;  // empty when the image carries none

    bool operator==(const ComponentState&) const = default;
};

// What the camera booted at its last power-on or reset. Versions reported
// to the host come from here, so flash changes show only after a reset.
struct RunningFirmware {
    RunMode mode = RunMode::BootLoader;
    Fx3Source fx3Source = Fx3Source::None;
    ComponentState fx3;
    ComponentState fpga;
    ComponentState isp;
    ComponentState audio;

    bool allValid() const { return fx3.valid && fpga.valid && isp.valid && audio.valid; }
    bool operator==(const RunningFirmware&) const = default;
};

// Durations the camera takes; all zero gives instant answers for tests.
struct TimingModel {
    std::string preset = "zero";
    uint32_t transferLatencyUs = 0;
    uint32_t pageProgramUs = 0;
    uint32_t erase4kUs = 0;
    uint32_t erase32kUs = 0;
    uint32_t erase64kUs = 0;
    uint32_t reenumerationMs = 0;
    // How long the camera computes a component's checksum, by component type
    // (boot loader, FX3, backup FX3, FPGA, ISP, audio).
    std::array<uint32_t, 6> checksumUs{};

    bool operator==(const TimingModel&) const = default;
};

struct Faults {
    bool refuseSystemLoaded = false;    // 0xDF stalls, as on firmware without it
    bool refuseSyncStatus = false;      // 0xC1 stalls
    bool refuseChecksum = false;        // the checksum query stalls
    bool checksumInconsistent = false;  // mismatch flag with equal checksums
    bool busyStuck = false;             // flash status reports busy for ever
    bool ramReadbackCorrupt = false;    // the boot loader reads RAM back with one bit flipped
    uint32_t powerLossAfterPages = 0;   // power fails after this many more programmed pages
    uint32_t powerLossDuringErase = 0;  // power fails during the N-th erase from now
    std::map<uint8_t, uint32_t> failNext;  // request code -> transfers still to fail
    std::map<uint8_t, uint32_t> shortReply;  // request code -> IN replies still to cut short
    uint32_t xuStallMs = 0;      // every extension-unit call answers this much later
    uint32_t xuVanishAfter = 0;  // the camera leaves the bus during the N-th extension-unit call from now
    std::map<uint8_t, uint32_t> failNth;  // request code -> the transfer from now that fails, once
    // Flash reads of the 256-byte page holding this address fail once
    // failReadAfter reads of it have gone through; -1 for none.
    int64_t failReadAt = -1;
    uint32_t failReadAfter = 0;

    bool operator==(const Faults&) const = default;
};

struct Counters {
    uint64_t resets = 0;
    uint64_t powerCycles = 0;
    uint64_t pagesProgrammed = 0;
    uint64_t sectorsErased4k = 0;
    uint64_t sectorsErased32k = 0;
    uint64_t sectorsErased64k = 0;
    uint64_t statusPolls = 0;
    std::array<uint64_t, 256> transfers{};  // by request code
    uint64_t xuCalls = 0;        // extension-unit queries that reached the camera
    uint64_t controlWrites = 0;  // standard controls set
    uint64_t checksumUs = 0;     // time spent computing component checksums

    bool operator==(const Counters&) const = default;
};

// Adds what `now` counted beyond `base` to `into`.
inline void addCounted(Counters& into, const Counters& now, const Counters& base) {
    into.resets += now.resets - base.resets;
    into.powerCycles += now.powerCycles - base.powerCycles;
    into.pagesProgrammed += now.pagesProgrammed - base.pagesProgrammed;
    into.sectorsErased4k += now.sectorsErased4k - base.sectorsErased4k;
    into.sectorsErased32k += now.sectorsErased32k - base.sectorsErased32k;
    into.sectorsErased64k += now.sectorsErased64k - base.sectorsErased64k;
    into.statusPolls += now.statusPolls - base.statusPolls;
    for (size_t i = 0; i < into.transfers.size(); ++i) into.transfers[i] += now.transfers[i] - base.transfers[i];
    into.xuCalls += now.xuCalls - base.xuCalls;
    into.controlWrites += now.controlWrites - base.controlWrites;
    into.checksumUs += now.checksumUs - base.checksumUs;
}

struct BusPresence {
    int64_t absentUntilMs = 0;  // wall clock (ms since the epoch) until re-enumeration ends
    bool powerLost = false;     // off the bus until it is plugged in again

    bool operator==(const BusPresence&) const = default;
};

// The preset buttons, per type (0 pan/tilt/zoom, 1 image controls) and
// button: the control values saved under it, by control name; empty when
// nothing is saved.
constexpr size_t kPresetTypes = 2;
constexpr size_t kPresetButtons = 10;
using PresetBank = std::array<std::array<std::map<std::string, int32_t>, kPresetButtons>, kPresetTypes>;

struct CameraState {
    uint64_t revision = 0;  // bumped at every save; tells a reader the file changed
    Identity identity;
    RunState run;
    RunningFirmware running;
    TimingModel timing;
    Faults faults;
    Counters counters;
    BusPresence bus;
    VideoState video;
    PresetBank presets;
    FaceState face;
    SelfTestState selfTest;
};

}  // namespace camsim
