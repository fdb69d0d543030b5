#pragma once

#include <jansson.h>

#include <cstdint>
#include <string>

#include "config/JsonRef.h"

namespace veltrion::desktop {

// The feature JSON of the update image, parsed, with the nodes the pages use.
// The child handles are borrowed from root, so they live exactly as long as
// this document: holders keep it through a shared pointer, and the model's
// forget only drops the model's own reference (no handle is left dangling).
struct FeatureDocument {
    std::string text;                   // as extracted from the image
    JsonRef root;
    json_t* memoryLayout = nullptr;
    json_t* configurations = nullptr;   // "Configurations"
    json_t* features = nullptr;         // "Features"
    json_t* baseURL = nullptr;          // "BaseURL"
    json_t* filterControl = nullptr;    // "Filter Control"; null when absent
    uint32_t baseAddress = 0;           // the feature area in flash
    uint32_t dataLength = 0;
};

}  // namespace veltrion::desktop
