#pragma once

// The feature JSON: where each feature property sits in the feature area of
// the flash, how long it is, what it may hold and its factory default. Pure
// lookups over Jansson; the manager's members add the device I/O around them.
// Handles other than the root are borrowed from the root and valid while it
// lives.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/JsonRef.h"

namespace veltrion {

class Logger;

// One allowed value of an "enum" property.
struct FeatureChoice {
    std::string label;     // shown to the user
    std::string value;     // hexadecimal text
    std::string helpLink;  // "BaseURL" + the feature's "URL"
    uint32_t address = 0;  // flash address of the property
    int length = 0;
};

// One property of one feature, as getFeatureInfo finds it.
struct FeatureInfo {
    std::vector<FeatureChoice> choices;
    int length = 0;           // bytes
    int offsetInFeature = 0;  // sum of the lengths of the properties before it
    int offset = -1;          // from the feature area's base address
    std::string defaultValue; // enum value text, or "0x1" / "0x0" for a bool
    std::string dataType;     // "enum" or "bool"
    std::string writeMode;    // the feature's "WriteMode", empty when absent
    std::string description;
    int featureCode = -1;     // the feature's "ID"
};

// One feature query: the camera's current bytes of a feature.
struct FeatureValueRequest {
    uint16_t featureId = 0;
    uint16_t length = 0;
    std::vector<uint8_t> value;  // filled with length bytes
};

namespace features {

// Parses the text and picks the top-level nodes; "Filter Control" may be
// absent. On failure everything is released and set to null.
bool initJsonVariables(const std::string& text, JsonRef& root, json_t*& memoryLayout, json_t*& configurations,
                       json_t*& features, json_t*& baseURL, json_t*& filterControl, Logger& log);

// The feature area from "MemoryLayout" -> "Descriptor".
bool getFeatureAddrLen(json_t* memoryLayout, uint32_t& baseAddress, uint32_t& dataLength, Logger& log);

// Feature name -> feature object, for every feature that has a "Factory" entry.
bool getFeatureMap(json_t* configurations, json_t* features, std::map<std::string, json_t*>& map, Logger& log);

bool getFeatureInfo(json_t* memoryLayout, json_t* configurations, json_t* features, json_t* baseURL,
                    FeatureInfo& info, const std::string& featureName, const std::string& propName, Logger& log);

// The low length bytes of value, most significant first; length 1 to 4.
std::optional<std::vector<uint8_t>> getBufferByValue(uint32_t value, int length, Logger& log);

// Places every factory default into area (the feature area as read from the
// camera), keeping stored values unless the property is "Enable" or its
// feature is written in "overwrite" mode. Properties that cannot be resolved
// are skipped with a log line.
void placeDefaultValues(json_t* memoryLayout, json_t* configurations, json_t* features, json_t* baseURL,
                        std::vector<uint8_t>& area, Logger& log);

// A hexadecimal text ("0x" optional) as a number; 0 when it holds none.
uint32_t hexValue(const std::string& text);

}  // namespace features

}  // namespace veltrion
