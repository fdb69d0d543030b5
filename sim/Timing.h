#pragma once

#include <optional>
#include <string>

#include "CameraState.h"

namespace camsim {

// "zero": every answer at once (tests). "realistic": a typical 64 Mbit SPI
// NOR behind a USB 2.0 control pipe, for demonstrations and benchmarks.
std::optional<TimingModel> timingPreset(const std::string& name);

}  // namespace camsim
