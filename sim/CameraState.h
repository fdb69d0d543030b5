#pragma once

// Everything a simulated camera remembers between processes (camera.json):
// who it is, its run-time state, what firmware it booted, its timing model,
// the faults armed on it and its counters.

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace camsim {

struct Identity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    std::string friendlyName;
    std::string model;  // model description of the identity table
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
};

enum class RunMode { Camera, BootLoader };
enum class Fx3Source { Main, Backup, Ram, None };  // Ram: downloaded through the boot loader

struct ComponentState {
    bool valid = false;
    std::string version;  // empty when the image carries none
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
};

struct BusPresence {
    int64_t absentUntilMs = 0;  // wall clock (ms since the epoch) until re-enumeration ends
    bool powerLost = false;     // off the bus until it is plugged in again
};

struct CameraState {
    uint64_t revision = 0;  // bumped at every save; tells a reader the file changed
    Identity identity;
    RunState run;
    RunningFirmware running;
    TimingModel timing;
    Faults faults;
    Counters counters;
    BusPresence bus;
};

}  // namespace camsim
