#pragma once

#include <string>
#include <vector>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// -g: shows the current values of the given features (id and byte length
// pairs) of one camera or of all.
bool displayFeatureValues(const std::string& selector, const std::vector<int>& ids, const std::vector<int>& lengths,
                          Veltrion2CamMgr& mgr);

// -j: writes the feature layout JSON kept in a camera's flash into a file.
bool extractJson(const std::string& selector, const std::string& outputFile, Veltrion2CamMgr& mgr);

}  // namespace veltrion::cli
