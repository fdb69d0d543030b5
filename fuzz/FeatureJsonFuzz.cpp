// libFuzzer entry for the feature-JSON lookups: the top-level nodes, the
// feature area, the feature map, every property's info, and the factory
// defaults placed into a feature area, as an update programs them. Every
// place a lookup hands out must lie inside the area it describes.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "config/FeatureLayout.h"
#include "format/FlashMap.h"
#include "image/ComponentInfo.h"

namespace {

using namespace veltrion;
using fuzzsupport::require;

// Larger areas add time, not paths: the defaults only touch their own bytes.
constexpr uint32_t kMaxArea = 4096;

// A camera's stored area: erased except for every third byte, so both the
// "keep the stored value" and the "program the default" paths run.
std::vector<uint8_t> storedArea(uint32_t length) {
    std::vector<uint8_t> area(length, flashmap::kErasedByte);
    for (size_t i = 0; i < area.size(); i += 3) area[i] = static_cast<uint8_t>(i);
    return area;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::QuietLogger logger;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool parses = !images::jsonSyntaxProblem(std::span<const uint8_t>(data, size));

    JsonRef root;
    json_t *memoryLayout = nullptr, *configurations = nullptr, *featureList = nullptr, *baseURL = nullptr,
           *filterControl = nullptr;
    if (!features::initJsonVariables(text, root, memoryLayout, configurations, featureList, baseURL, filterControl,
                                     logger)) {
        require(!root && !memoryLayout && !configurations && !featureList && !baseURL && !filterControl);
        return 0;
    }
    require(parses);

    // Each feature's first property through the lookup the dialogs use; the
    // defaults below look up every property again.
    std::map<std::string, json_t*> featureMap;
    features::getFeatureMap(configurations, featureList, featureMap, logger);
    for (const auto& [name, feature] : featureMap) {
        const char* propName = json_string_value(json_object_get(json_array_get(json_object_get(feature, "Props"), 0), "Name"));
        FeatureInfo info;
        if (!features::getFeatureInfo(memoryLayout, configurations, featureList, baseURL, info, name,
                                      propName ? propName : "", logger))
            continue;
        for (const FeatureChoice& choice : info.choices) require(choice.length == info.length);
        features::getBufferByValue(features::hexValue(info.defaultValue), info.length, logger);
    }

    uint32_t base = 0, length = 0;
    if (!features::getFeatureAddrLen(memoryLayout, base, length, logger)) return 0;
    require(length > 0);
    std::vector<uint8_t> area = storedArea(std::min(length, kMaxArea));
    const size_t before = area.size();
    features::placeDefaultValues(memoryLayout, configurations, featureList, baseURL, area, logger);
    require(area.size() == before);
    return 0;
}
