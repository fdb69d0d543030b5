#pragma once

// The temperatures the three image sensors measure, as text: one value for
// all three ("41.5") or three comma-separated values ("40,41.5,43").

#include <array>
#include <optional>
#include <string>

namespace camsim {

using SensorTemperatures = std::array<float, 3>;

// Nothing when the text is not one or three numbers from -40 to 125.
std::optional<SensorTemperatures> parseSensorTemperatures(const std::string& text);
std::string formatSensorTemperatures(const SensorTemperatures& temperatures);

}  // namespace camsim
