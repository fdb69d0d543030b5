#include "features/FeatureList.h"

#include <cstdlib>
#include <cstring>

namespace veltrion::desktop {

namespace {

constexpr const char* kEnableProperty = "Enable";

}  // namespace

std::optional<std::vector<FeatureEntry>> listShownFeatures(const FeatureDocument& document, Logger& log) {
    json_t* factory = json_object_get(document.configurations, "Factory");
    if (!factory) {
        log.log(kLogError, "invalid json, no factory configurations!\n");
        return std::nullopt;
    }
    std::vector<FeatureEntry> shown;
    size_t featureIndex = 0;
    json_t* feature = nullptr;
    json_array_foreach(document.features, featureIndex, feature) {
        if (!json_is_object(feature)) {
            log.log(kLogError, "invalid feature, feature not a object!\n");
            continue;
        }
        const char* name = json_string_value(json_object_get(feature, "Name"));
        if (!name) {
            log.log(kLogError, "invalid feature, feature no Name!\n");
            continue;
        }
        json_t* factoryEntry = json_object_get(factory, name);
        if (!factoryEntry) {
            log.log(kLogError, "invalid feature, feature no factory config!\n");
            continue;
        }
        if (json_is_false(json_object_get(factoryEntry, "Visible"))) continue;
        json_t* props = json_object_get(feature, "Props");
        if (!json_is_array(props)) {
            log.log(kLogError, "invalid json, feature no Props!\n");
            continue;
        }
        FeatureEntry entry{name, {}};
        size_t propIndex = 0;
        json_t* prop = nullptr;
        json_array_foreach(props, propIndex, prop) {
            if (!json_is_object(prop)) {
                log.log(kLogError, "invalid json, prop not a object!\n");
                continue;
            }
            const char* propName = json_string_value(json_object_get(prop, "Name"));
            if (!propName) {
                log.log(kLogError, "invalid json, prop no Name!\n");
                continue;
            }
            if (std::strcmp(propName, kEnableProperty) != 0) entry.properties.emplace_back(propName);
        }
        shown.push_back(std::move(entry));
    }
    return shown;
}

std::vector<FeatureProperty> propertyList(const std::vector<FeatureEntry>& features) {
    std::vector<FeatureProperty> list;
    for (const FeatureEntry& feature : features)
        for (const std::string& property : feature.properties) list.push_back({feature.name, property});
    return list;
}

int featureTotalLength(const FeatureDocument& document, const std::string& featureName) {
    size_t featureIndex = 0;
    json_t* feature = nullptr;
    json_array_foreach(document.features, featureIndex, feature) {
        const char* name = json_string_value(json_object_get(feature, "Name"));
        if (!name || featureName != name) continue;
        long total = 0;
        size_t propIndex = 0;
        json_t* prop = nullptr;
        json_array_foreach(json_object_get(feature, "Props"), propIndex, prop) {
            if (const char* length = json_string_value(json_object_get(json_object_get(prop, "Type"), "length")))
                total += std::strtol(length, nullptr, 10);
        }
        // A length no feature query could answer counts as unknown.
        return total > 0 && total <= 0xFFFF ? static_cast<int>(total) : 0;
    }
    return 0;
}

}  // namespace veltrion::desktop
