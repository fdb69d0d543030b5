#include "FeatureMap.h"

#include <cstdlib>

#include "base/ByteLayout.h"
#include "flash/FlashLayout.h"
#include "config/JsonRef.h"

namespace camsim {

namespace flash = veltrion::flash;

namespace {

constexpr size_t kJsonLengthOffset = 2;

uint32_t hexText(const char* text) { return static_cast<uint32_t>(std::strtoul(text, nullptr, 16)); }

std::optional<uint32_t> defaultOf(json_t* factoryFeature, const std::string& prop) {
    json_t* value = json_object_get(factoryFeature, prop.c_str());
    if (json_is_boolean(value)) return json_is_true(value) ? 1u : 0u;
    if (const char* text = json_string_value(value)) return hexText(text);
    return std::nullopt;
}

}  // namespace

std::vector<FeatureProperty> featureProperties(std::string_view json) {
    std::vector<FeatureProperty> out;
    const veltrion::JsonRef root = veltrion::JsonRef::parse(json);
    if (!root) return out;
    json_t* descriptor = json_object_get(json_object_get(root.get(), "MemoryLayout"), "Descriptor");
    const char* baseText = json_string_value(json_object_get(descriptor, "BaseAddress"));
    json_t* propertyMap = json_object_get(descriptor, "PropertyMap");
    json_t* factory = json_object_get(json_object_get(root.get(), "Configurations"), "Factory");
    if (!baseText || !propertyMap) return out;
    const uint32_t base = hexText(baseText);

    size_t featureIndex = 0;
    json_t* feature = nullptr;
    json_array_foreach(json_object_get(root.get(), "Features"), featureIndex, feature) {
        const char* featureName = json_string_value(json_object_get(feature, "Name"));
        const char* code = json_string_value(json_object_get(feature, "ID"));
        json_t* factoryFeature = featureName ? json_object_get(factory, featureName) : nullptr;
        size_t propIndex = 0;
        json_t* prop = nullptr;
        json_array_foreach(json_object_get(feature, "Props"), propIndex, prop) {
            const char* id = json_string_value(json_object_get(prop, "ID"));
            const char* offset = id ? json_string_value(json_object_get(propertyMap, id)) : nullptr;
            if (!offset) continue;
            FeatureProperty property;
            property.featureCode = code ? static_cast<int>(std::strtol(code, nullptr, 10)) : -1;
            if (const char* name = json_string_value(json_object_get(prop, "Name"))) property.name = name;
            property.address = base + hexText(offset);
            if (const char* length = json_string_value(json_object_get(json_object_get(prop, "Type"), "length")))
                property.length = static_cast<uint32_t>(std::strtoul(length, nullptr, 10));
            property.factoryDefault = defaultOf(factoryFeature, property.name);
            out.push_back(std::move(property));
        }
    }
    return out;
}

std::optional<std::string_view> jsonFromRecord(std::span<const uint8_t> sector) {
    const veltrion::ByteReader reader(sector);
    if (reader.u8(0) != flash::kJsonTag0 || reader.u8(1) != flash::kJsonTag1) return std::nullopt;
    const auto length = reader.le32(kJsonLengthOffset);
    if (!length || *length == 0 || *length > flash::kJsonMaxTextLength) return std::nullopt;
    const auto text = reader.bytes(flash::kJsonHeaderSize, *length);
    if (!text) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(text->data()), text->size());
}

std::vector<uint8_t> makeJsonRecord(std::string_view json) {
    std::vector<uint8_t> record;
    veltrion::ByteWriter writer(record);
    writer.u8(flash::kJsonTag0);
    writer.u8(flash::kJsonTag1);
    writer.le32(static_cast<uint32_t>(json.size()));
    writer.bytes(std::span(reinterpret_cast<const uint8_t*>(json.data()), json.size()));
    return record;
}

}  // namespace camsim
