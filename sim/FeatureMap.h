#pragma once

// The camera firmware's reading of the feature JSON kept in its flash: where
// each property of each feature lives and, for the factory, its default.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace camsim {

struct FeatureProperty {
    int featureCode = -1;  // the feature's "ID"; -1 when it has none
    std::string name;
    uint32_t address = 0;  // flash address: "BaseAddress" + the "PropertyMap" offset
    uint32_t length = 0;
    std::optional<uint32_t> factoryDefault;  // from "Configurations" -> "Factory"
};

// Every property of every feature, in document order. Properties without a
// place in "PropertyMap" are left out; a text that is not a feature JSON
// gives an empty list.
std::vector<FeatureProperty> featureProperties(std::string_view json);

// The JSON text of the "FD" record at the start of the span (the camera's
// JSON sector), or nothing when the record is missing or does not fit.
std::optional<std::string_view> jsonFromRecord(std::span<const uint8_t> sector);

// The "FD" record of a JSON text: tag, 32-bit little-endian length, text.
std::vector<uint8_t> makeJsonRecord(std::string_view json);

}  // namespace camsim
