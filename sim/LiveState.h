#pragma once

// What a camera holds while it runs and changes with nearly every request:
// the enumeration it is on the bus in, its counters, the pending flash
// status, the extension unit's reply latch, the monitors' selection, its
// registers, its LED and the controller's RAM. One block per camera, mapped
// shared from <camera>/live.bin by every process that talks to the camera,
// and changed only under the camera's state lock (the mutex in the block):
// every process sees the same device, as every host on a real bus would. camera.json keeps what changes
// rarely (identity, settings, faults, presence); the block's revision tells
// which camera.json is the latest.

#include <array>
#include <chrono>
#include <cstdint>
#include <type_traits>

#include "CameraState.h"
#include "RegisterFile.h"
#include "SharedMutex.h"

namespace camsim {

constexpr uint32_t kControllerRamBase = 0x40000000;
constexpr uint32_t kControllerRamSize = 512 * 1024;
constexpr uint16_t kLatchSize = 256;

// The reply (or failure) of the last request the extension unit ran for a
// request header; consumed by the next read, by whichever process reads it.
struct ReplyLatch {
    bool held = false;
    bool failed = false;
    // The camera is still working out the reply until then; a read before
    // gets its empty reply buffer.
    std::chrono::steady_clock::time_point readyAt{};
    std::array<uint8_t, kLatchSize> reply{};
};

// What the monitors chose on request 0xFD in one enumeration: the ROI mode,
// and the ISP whose face data the next reads return with the ready polls
// since it was selected.
struct MonitorSelection {
    uint64_t enumeration = 0;
    bool roiMode = false;
    int isp = -1;
    uint32_t readyPolls = 0;
};

// The controller's system RAM while the boot loader runs; lost at reset and
// power cycle.
struct ControllerRam {
    bool loaded = false;
    std::array<uint8_t, kControllerRamSize> bytes{};

    // The RAM as the boot loader sees it: zeros after a reset until written.
    std::array<uint8_t, kControllerRamSize>& contents() {
        if (!loaded) {
            bytes.fill(0);
            loaded = true;
        }
        return bytes;
    }
};

struct LiveState {
    static constexpr uint64_t kMagic = 0x3276696C2D6D6973;  // "sim-liv2": this layout
    uint64_t magic = 0;
    // The camera's state lock: held for every request, by every thread of
    // every process.
    SharedMutex stateMutex;
    // camera.json's revision as last saved by any process.
    uint64_t revision = 0;
    // Bumped whenever the camera leaves the bus; a connection opened in an
    // earlier enumeration is dead.
    uint64_t enumeration = 1;
    // The camera was unplugged for good (its folder is going away).
    bool removed = false;
    Counters counters;
    // The blue LED; it goes dark at a reset or power loss.
    bool led = false;
    // Until when a program or erase keeps the flash busy (the monotonic clock
    // is one for every process of the machine).
    std::chrono::steady_clock::time_point busyUntil{};
    ReplyLatch latch;
    // Information-text reads of each ISP since the last self-test: which of
    // its two parts the next read gives.
    std::array<uint32_t, 3> ispInfoReads{};
    MonitorSelection monitorSelection;
    RegisterFile registers;
    ControllerRam ram;
};

static_assert(std::is_trivially_copyable_v<LiveState>, "the block is shared as raw bytes");

}  // namespace camsim
