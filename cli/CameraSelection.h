#pragma once

#include <string>
#include <vector>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// Turns a user's camera selector ("all" or a list position) into the camera
// list and a choice in it. With "all" the index is left alone. Every failure
// is logged here.
bool parseCameraNumber(Veltrion2CamMgr& mgr, const std::string& selector, std::vector<std::string>& paths,
                       bool& all, unsigned& index);

}  // namespace veltrion::cli
