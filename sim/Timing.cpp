#include "Timing.h"

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
        return model;
    }
    return std::nullopt;
}

}  // namespace camsim
