#pragma once

#include <string>
#include <vector>

#include "manager/Veltrion2CamMgr.h"

namespace veltrion::cli {

// The list positions a selection covers, [first, last).
struct SelectedPositions {
    unsigned first;
    unsigned last;
};

// What a user's camera selector ("all" or a list position) chose.
struct CameraSelection {
    std::vector<std::string> paths;  // the camera list
    bool all = false;
    unsigned index = 0;  // the chosen position, without "all"

    // Every camera with "all", else the one chosen.
    SelectedPositions positions() const {
        return all ? SelectedPositions{0, static_cast<unsigned>(paths.size())} : SelectedPositions{index, index + 1};
    }
};

// Fills the selection from the camera list; every failure is logged here.
bool parseCameraNumber(Veltrion2CamMgr& mgr, const std::string& selector, CameraSelection& selection);

}  // namespace veltrion::cli
