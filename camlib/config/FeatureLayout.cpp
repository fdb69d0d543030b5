#include "config/FeatureLayout.h"

#include <algorithm>
#include <cstdlib>

#include "base/Logger.h"
#include "format/FlashMap.h"

namespace veltrion::features {

namespace {

constexpr const char* kEnableProp = "Enable";
constexpr const char* kOverwriteMode = "overwrite";
constexpr const char* kTypeEnum = "enum";
constexpr const char* kTypeBool = "bool";
constexpr const char* kBoolTrueText = "0x1";
constexpr const char* kBoolFalseText = "0x0";
constexpr int kMaxValueBytes = 4;

// A member's string value, or empty when it is absent or not a string.
std::string stringMember(json_t* object, const char* key) {
    const char* text = json_string_value(json_object_get(object, key));
    return text ? text : "";
}

int decimalValue(const char* text) { return static_cast<int>(std::strtol(text, nullptr, 10)); }

}  // namespace

uint32_t hexValue(const std::string& text) { return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16)); }

bool initJsonVariables(const std::string& text, JsonRef& root, json_t*& memoryLayout, json_t*& configurations,
                       json_t*& features, json_t*& baseURL, json_t*& filterControl, Logger& log) {
    memoryLayout = configurations = features = baseURL = filterControl = nullptr;
    root = JsonRef::parse(text);
    const auto fail = [&](const char* message) {
        log.log(kLogError, "%s", message);
        root.reset();
        memoryLayout = configurations = features = baseURL = filterControl = nullptr;
        return false;
    };
    if (!root) return fail("CamMgr.initJsonVariables: no Json found\n");
    baseURL = json_object_get(root.get(), "BaseURL");
    if (!json_is_string(baseURL)) return fail("CamMgr.initJsonVariables: Base URL is not string in Json\n");
    memoryLayout = json_object_get(root.get(), "MemoryLayout");
    if (!memoryLayout) return fail("CamMgr.initJsonVariables: No memory found in Json\n");
    configurations = json_object_get(root.get(), "Configurations");
    if (!configurations) return fail("CamMgr.initJsonVariables: No configuration found in Json\n");
    features = json_object_get(root.get(), "Features");
    if (!features) return fail("CamMgr.initJsonVariables: invalid json, no Features!\n");
    filterControl = json_object_get(root.get(), "Filter Control");
    return true;
}

bool getFeatureAddrLen(json_t* memoryLayout, uint32_t& baseAddress, uint32_t& dataLength, Logger& log) {
    if (!memoryLayout) {
        log.log(kLogError, "CamMgr.getFeatureAddrLen: memory layout json is not loaded\n");
        return false;
    }
    json_t* descriptor = json_object_get(memoryLayout, "Descriptor");
    if (!descriptor) {
        log.log(kLogError, "CamMgr.getFeatureAddrLen: json memory Layout no Descriptor\n");
        return false;
    }
    json_t* base = json_object_get(descriptor, "BaseAddress");
    if (!json_is_string(base)) {
        log.log(kLogError, "CamMgr.getFeatureAddrLen: json Descriptor no base addr\n");
        return false;
    }
    json_t* length = json_object_get(descriptor, "DataLength");
    if (!json_is_integer(length)) {
        log.log(kLogError, "CamMgr.getFeatureAddrLen: json Descriptor no data length\n");
        return false;
    }
    const json_int_t value = json_integer_value(length);
    // A negative or oversized length would wrap into a huge area.
    if (value <= 0 || value > static_cast<json_int_t>(UINT32_MAX)) {
        log.log(kLogError, "CamMgr.getFeatureAddrLen: invalid flash data length\n");
        return false;
    }
    baseAddress = hexValue(json_string_value(base));
    dataLength = static_cast<uint32_t>(value);
    return true;
}

bool getFeatureMap(json_t* configurations, json_t* features, std::map<std::string, json_t*>& map, Logger& log) {
    json_t* factory = json_object_get(configurations, "Factory");
    if (!factory) {
        log.log(kLogError, "getFeatureMap: invalid json, no factory configurations!\n");
        return false;
    }
    size_t index = 0;
    json_t* feature = nullptr;
    json_array_foreach(features, index, feature) {
        if (!json_is_object(feature)) {
            log.log(kLogError, "getFeatureMap: invalid feature, feature not a object!\n");
            continue;
        }
        const char* name = json_string_value(json_object_get(feature, "Name"));
        if (!name) {
            log.log(kLogError, "featureJsons: invalid feature, feature no Name!\n");
            continue;
        }
        if (!json_object_get(factory, name)) {
            log.log(kLogError, "featureJsons: invalid feature, feature no factory config!\n");
            continue;
        }
        map[name] = feature;
    }
    return true;
}

bool getFeatureInfo(json_t* memoryLayout, json_t* configurations, json_t* features, json_t* baseURL,
                    FeatureInfo& info, const std::string& featureName, const std::string& propName, Logger& log) {
    if (!memoryLayout || !configurations || !features || !baseURL) {
        log.log(kLogError, "getFeatureInfo: invalid json(s) are given\n");
        return false;
    }
    info = FeatureInfo{};

    json_t* descriptor = json_object_get(memoryLayout, "Descriptor");
    if (!descriptor) {
        log.log(kLogError, "getFeatureInfo: No descriptor in memory layout json\n");
        return false;
    }
    const char* baseText = json_string_value(json_object_get(descriptor, "BaseAddress"));
    if (!baseText) {
        log.log(kLogError, "getFeatureInfo: memorylayout->discriptor->BaseAddress is not a string\n");
        return false;
    }
    const uint32_t base = hexValue(baseText);
    json_t* propertyMap = json_object_get(descriptor, "PropertyMap");
    if (!propertyMap) {
        log.log(kLogError, "getFeatureInfo: memorylayout->discriptor->PropertyMap not found\n");
        return false;
    }

    json_t* factory = json_object_get(configurations, "Factory");
    if (!factory) {
        log.log(kLogError, "getFeatureInfo: configuration->factory not found\n");
        return false;
    }
    json_t* factoryFeature = json_object_get(factory, featureName.c_str());
    if (!factoryFeature) {
        log.log(kLogError, "getFeatureInfo: configuration->factory feature %s not found\n", featureName.c_str());
        return false;
    }
    json_t* defaultValue = json_object_get(factoryFeature, propName.c_str());
    if (!defaultValue) {
        log.log(kLogError, "getFeatureInfo: configuration->factory feature no prop %s\n", propName.c_str());
        return false;
    }
    info.writeMode = stringMember(factoryFeature, "WriteMode");

    std::map<std::string, json_t*> featureMap;
    getFeatureMap(configurations, features, featureMap, log);
    const auto found = featureMap.find(featureName);
    if (found == featureMap.end()) {
        log.log(kLogError, "getFeatureInfo: No feature find for name %s\n", featureName.c_str());
        return false;
    }
    json_t* feature = found->second;
    std::string helpLink;
    if (const char* url = json_string_value(json_object_get(feature, "URL")))
        helpLink = std::string(json_string_value(baseURL)) + url;
    info.description = stringMember(feature, "Desc");
    if (const char* code = json_string_value(json_object_get(feature, "ID"))) info.featureCode = decimalValue(code);

    // Walk the properties in order up to the one asked for.
    json_t* property = nullptr;
    uint32_t address = 0;
    int length = 0;
    int offsetInFeature = 0;
    size_t index = 0;
    json_t* element = nullptr;
    json_array_foreach(json_object_get(feature, "Props"), index, element) {
        const std::string name = stringMember(element, "Name");
        const char* id = json_string_value(json_object_get(element, "ID"));
        if (!id) {
            log.log(kLogError, "No ID for prop %s, feature name %s\n", name.c_str(), featureName.c_str());
            return false;
        }
        const char* mapped = json_string_value(json_object_get(propertyMap, id));
        if (!mapped) {
            log.log(kLogError, "No flash map for prop %s, feature name %s\n", name.c_str(), featureName.c_str());
            return false;
        }
        address = base + hexValue(mapped);
        length = 0;
        if (const char* lengthText = json_string_value(json_object_get(json_object_get(element, "Type"), "length")))
            length = decimalValue(lengthText);
        if (name == propName) {
            property = element;
            break;
        }
        offsetInFeature += length;
    }
    if (!property) {
        // Reporting the last property walked would hand out another property's place.
        log.log(kLogError, "getFeatureInfo: feature %s has no property %s\n", featureName.c_str(), propName.c_str());
        return false;
    }

    info.length = length;
    info.offsetInFeature = offsetInFeature;
    info.offset = static_cast<int>(address - base);
    info.dataType = stringMember(property, "datatype");
    if (info.dataType == kTypeEnum) {
        const char* text = json_string_value(defaultValue);
        if (!text) {
            log.log(kLogError, "Feature %s's Property %s enum default value not string\n", featureName.c_str(),
                    propName.c_str());
            return false;
        }
        info.defaultValue = text;
        json_t* choices = json_object_get(property, "Enum");
        if (!json_is_object(choices)) {
            log.log(kLogError, "Feature %s's Property %s not have enum\n", featureName.c_str(), propName.c_str());
            return false;
        }
        const char* label = nullptr;
        json_t* value = nullptr;
        json_object_foreach(choices, label, value) {
            if (const char* valueText = json_string_value(value))
                info.choices.push_back({label, valueText, helpLink, address, length});
        }
        return true;
    }
    if (info.dataType == kTypeBool) {
        if (!json_is_boolean(defaultValue)) {
            log.log(kLogError, "Feature %s's Property %s enum default value not bool\n", featureName.c_str(),
                    propName.c_str());
            return false;
        }
        info.defaultValue = json_is_true(defaultValue) ? kBoolTrueText : kBoolFalseText;
        return true;
    }
    log.log(kLogError, "Invalid type!\n");
    return false;
}

std::optional<std::vector<uint8_t>> getBufferByValue(uint32_t value, int length, Logger& log) {
    if (length <= 0 || length > kMaxValueBytes) {
        log.log(kLogError, "getBufferByValue: Cannot have buffer 0 bytes or more than 4 bytes as INT only 4 bytes\n");
        return std::nullopt;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        buffer[static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * (length - 1 - i)));
    return buffer;
}

void placeDefaultValues(json_t* memoryLayout, json_t* configurations, json_t* features, json_t* baseURL,
                        std::vector<uint8_t>& area, Logger& log) {
    const std::vector<uint8_t> stored = area;
    size_t featureIndex = 0;
    json_t* feature = nullptr;
    json_array_foreach(features, featureIndex, feature) {
        const char* featureName = json_string_value(json_object_get(feature, "Name"));
        if (!featureName) {
            log.log(kLogError, "CamMgr.programDefaultFeatureValues: json feature no name!\n");
            continue;
        }
        json_t* props = json_object_get(feature, "Props");
        if (!props) {
            log.log(kLogError, "CamMgr.programDefaultFeatureValues: json feature no prop!\n");
            continue;
        }
        size_t propIndex = 0;
        json_t* prop = nullptr;
        json_array_foreach(props, propIndex, prop) {
            const std::string propName = stringMember(prop, "Name");
            FeatureInfo info;
            if (!getFeatureInfo(memoryLayout, configurations, features, baseURL, info, featureName, propName, log)) {
                log.log(kLogError, "CamMgr.programDefaultFeatureValues: failed to get feature info\n");
                continue;
            }
            if (info.offset < 0 || info.length < 0 ||
                static_cast<size_t>(info.offset) + static_cast<size_t>(info.length) > area.size()) {
                log.log(kLogError, "CamMgr.programDefaultFeatureValues: flash data out of bound!!!\n");
                continue;
            }
            if (info.defaultValue.empty()) {
                log.log(kLogError, "CamMgr.programDefaultFeatureValues: invalid defaulut value\n");
                continue;
            }
            const auto first = stored.begin() + info.offset;
            const bool holdsValue =
                std::any_of(first, first + info.length, [](uint8_t b) { return b != flashmap::kErasedByte; });
            if (holdsValue && propName != kEnableProp && info.writeMode != kOverwriteMode) continue;

            const uint32_t value = hexValue(info.defaultValue);
            const auto bytes = getBufferByValue(value, info.length, log);
            if (!bytes) {
                log.log(kLogError, "CamMgr.programDefaultFeatureValues: %s failed to get default buffer from default val %d\n",
                        propName.c_str(), static_cast<int>(value));
                continue;
            }
            std::copy(bytes->begin(), bytes->end(), area.begin() + info.offset);
        }
    }
}

}  // namespace veltrion::features
