#pragma once

// The sample firmware's feature JSON, one document per firmware group
// (sim/data/features-<group>.json, compiled in). The factory writes it into
// a new camera's flash, and make-firmware puts it into component sets.

#include <string_view>

namespace camsim {

// The document of "V2G", "V2sG" or "V3G"; empty for any other group.
std::string_view featureJsonForGroup(std::string_view group);

}  // namespace camsim
