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

// The list positions a selection covers, [first, last): every camera with
// "all", else the one chosen.
struct SelectedPositions {
    unsigned first;
    unsigned last;
};
inline SelectedPositions selectedPositions(const std::vector<std::string>& paths, bool all, unsigned index) {
    return all ? SelectedPositions{0, static_cast<unsigned>(paths.size())} : SelectedPositions{index, index + 1};
}

}  // namespace veltrion::cli
