#include "SensorTemperature.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace camsim {

namespace {

// The operating range of the sensors' temperature block.
constexpr float kMinTemperature = -40.0f;
constexpr float kMaxTemperature = 125.0f;

}  // namespace

std::optional<SensorTemperatures> parseSensorTemperatures(const std::string& text) {
    std::vector<float> values;
    size_t start = 0;
    while (start <= text.size() && values.size() < 4) {
        const size_t comma = text.find(',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        const float value = std::strtof(part.c_str(), &end);
        if (part.empty() || *end != '\0' || !std::isfinite(value) || value < kMinTemperature ||
            value > kMaxTemperature)
            return std::nullopt;
        values.push_back(value);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (values.size() == 1) return SensorTemperatures{values[0], values[0], values[0]};
    if (values.size() == 3) return SensorTemperatures{values[0], values[1], values[2]};
    return std::nullopt;
}

std::string formatSensorTemperatures(const SensorTemperatures& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%g,%g,%g", static_cast<double>(t[0]), static_cast<double>(t[1]),
                  static_cast<double>(t[2]));
    return text;
}

}  // namespace camsim
