#pragma once

// The update image the update benchmarks give their cameras: the simulator's
// newer sample firmware, built the way the tests build it.

#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "manager/Veltrion2CamMgr.h"
#include "support/FirmwareImages.h"

// Writes dir/newer.img from make-firmware's options; returns its path.
inline std::string buildNewerImage(const std::filesystem::path& dir, const std::vector<std::string>& options) {
    veltrion::Veltrion2CamMgr mgr(true);
    QuietLogger quiet;
    mgr.setLogger(&quiet);
    return testimages::buildSingleImage(mgr, dir, "newer", options);
}
