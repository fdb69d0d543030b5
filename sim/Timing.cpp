#include "Timing.h"

#include <array>

namespace camsim {

namespace {

// One control transfer with a data stage, host stack included.
constexpr uint32_t kRealisticTransferLatencyUs = 250;
// Typical figures of a 64 Mbit SPI NOR data sheet.
constexpr uint32_t kRealisticPageProgramUs = 700;
constexpr uint32_t kRealisticErase4kUs = 45'000;
constexpr uint32_t kRealisticErase32kUs = 120'000;
constexpr uint32_t kRealisticErase64kUs = 150'000;
// Reset to the device being listed again.
constexpr uint32_t kRealisticReenumerationMs = 1500;
// The firmware sums a component in flash at about 350 KB/s: a little less
// than the host waits before it reads the answer over the extension unit.
constexpr std::array<uint32_t, 6> kRealisticChecksumUs = {8'000, 250'000, 250'000, 3'000'000, 60'000, 8'000};

}  // namespace

std::optional<TimingModel> timingPreset(const std::string& name) {
    TimingModel model;
    model.preset = name;
    if (name == "zero") return model;
    if (name == "realistic") {
        model.transferLatencyUs = kRealisticTransferLatencyUs;
        model.pageProgramUs = kRealisticPageProgramUs;
        model.erase4kUs = kRealisticErase4kUs;
        model.erase32kUs = kRealisticErase32kUs;
        model.erase64kUs = kRealisticErase64kUs;
        model.reenumerationMs = kRealisticReenumerationMs;
        model.checksumUs = kRealisticChecksumUs;
        return model;
    }
    return std::nullopt;
}

}  // namespace camsim
