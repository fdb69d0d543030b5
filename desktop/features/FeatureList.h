#pragma once

// The features and properties the user may change, as the feature JSON
// lists them: the tree of the "Features" tab and the steps of the quick
// setup both come from here.

#include <optional>
#include <string>
#include <vector>

#include "base/Logger.h"
#include "model/FeatureDocument.h"

namespace veltrion::desktop {

// The page that switches the camera between its USB identities; it is not
// part of the feature JSON.
inline constexpr const char* kAudioFeature = "Audio";

// One shown feature and its properties (the "Enable" switch left out), in
// the JSON's order.
struct FeatureEntry {
    std::string name;
    std::vector<std::string> properties;
};

// One step of the quick setup.
struct FeatureProperty {
    std::string feature;
    std::string property;
};

// Every visible feature of the document in its order. Nothing when the
// document has no factory configurations; bad features are skipped with a
// log line.
std::optional<std::vector<FeatureEntry>> listShownFeatures(const FeatureDocument& document, Logger& log);

// The (feature, property) pairs of the shown features, in the JSON's order.
std::vector<FeatureProperty> propertyList(const std::vector<FeatureEntry>& features);

// The sum of the lengths of all the feature's properties: what the camera's
// feature query answers for it. 0 when the feature is unknown.
int featureTotalLength(const FeatureDocument& document, const std::string& featureName);

}  // namespace veltrion::desktop
