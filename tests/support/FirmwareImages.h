#pragma once

// Update images for tests, built the way a release engineer does: component
// files from the simulator's firmware factory (make-firmware), then a single
// image from them, and unified packages from single images.

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "image/ImageCreation.h"
#include "base/Logger.h"
#include "manager/Veltrion2CamMgr.h"
#include "tool/MakeFirmware.h"

namespace testimages {

// Writes component files for the options ("--group V3G", "--fx3 C0.2.0.0",
// ...) into dir/name, then the single image dir/name.img; returns its path.
// With jsonFile, the image carries that feature JSON instead of the factory's.
inline std::string buildSingleImage(veltrion::Veltrion2CamMgr& mgr, const std::filesystem::path& dir,
                                    const std::string& name, const std::vector<std::string>& options,
                                    const std::string& jsonFile = {}) {
    const std::filesystem::path parts = dir / name;
    std::vector<std::string> args{"make-firmware", "--out", parts.string()};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream printed;
    camsim::makeFirmware(args, printed);
    if (!jsonFile.empty())
        std::filesystem::copy_file(jsonFile, parts / "features.json", std::filesystem::copy_options::overwrite_existing);

    // The last line printed is the -c argument list without the output file.
    std::string lastLine, line;
    std::istringstream lines(printed.str());
    while (std::getline(lines, line))
        if (!line.empty()) lastLine = line;
    std::vector<std::string> createArgs;
    std::istringstream words(lastLine);
    for (std::string word; words >> word;) createArgs.push_back(word);
    const std::string output = (dir / (name + ".img")).string();
    createArgs.push_back(output);
    return mgr.createSingleImage(createArgs) ? output : std::string();
}

inline std::string buildUnifiedPackage(veltrion::Veltrion2CamMgr& mgr, const std::filesystem::path& dir,
                                       const std::string& name, const std::vector<std::string>& images,
                                       const std::string& jsonFile) {
    std::vector<std::string> args = images;
    args.push_back(jsonFile);
    const std::string output = (dir / (name + ".uni")).string();
    args.push_back(output);
    return mgr.createUnifiedImage(args) ? output : std::string();
}

}  // namespace testimages
