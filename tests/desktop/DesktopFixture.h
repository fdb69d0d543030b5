#pragma once

// A fresh simulated bus for one desktop test, selected the way the program
// selects it (VELTRION_SIM), and the update packages the program looks for.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "Bus.h"
#include "manager/Veltrion2CamMgr.h"
#include "support/FirmwareImages.h"

namespace veltrion::desktop::test {

class SimBus {
public:
    SimBus() {
        std::string pattern = (std::filesystem::temp_directory_path() / "deskbus-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        ::setenv("VELTRION_SIM", (dir / "bus").c_str(), 1);
        bus = std::make_unique<camsim::Bus>(dir / "bus");
    }
    ~SimBus() {
        bus.reset();
        ::unsetenv("VELTRION_SIM");
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    }
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    // A unified package at dir/name holding one single image per entry of
    // images (make-firmware options, e.g. {"--group", "V3G", "--fx3",
    // "C1.2.0.0"}). With jsonFile, every image and the package carry that
    // feature JSON instead of the simulator's. Empty on failure.
    std::string buildPackage(const std::string& name, const std::vector<std::vector<std::string>>& images,
                             const std::string& jsonFile = {}) {
        Veltrion2CamMgr mgr(true);
        std::vector<std::string> singles;
        for (size_t i = 0; i < images.size(); ++i) {
            const std::filesystem::path parts = dir / (name + std::to_string(i));
            std::vector<std::string> args{"make-firmware", "--out", parts.string()};
            args.insert(args.end(), images[i].begin(), images[i].end());
            std::ostringstream printed;
            camsim::makeFirmware(args, printed);
            if (!jsonFile.empty())
                std::filesystem::copy_file(jsonFile, parts / "features.json",
                                           std::filesystem::copy_options::overwrite_existing);
            // The last line printed is the argument list of an image creation.
            std::string lastLine, line;
            std::istringstream lines(printed.str());
            while (std::getline(lines, line))
                if (!line.empty()) lastLine = line;
            std::vector<std::string> createArgs;
            std::istringstream words(lastLine);
            for (std::string word; words >> word;) createArgs.push_back(word);
            createArgs.push_back(parts.string() + ".img");
            if (!mgr.createSingleImage(createArgs)) return {};
            singles.push_back(parts.string() + ".img");
        }
        const std::string built =
            testimages::buildUnifiedPackage(mgr, dir, name + "-package", singles, (dir / (name + "0") / "features.json").string());
        if (built.empty()) return {};
        const std::filesystem::path target = dir / name;
        std::filesystem::rename(built, target);
        return target.string();
    }
    // The newer V3 firmware make-firmware gives, with and without audio.
    std::string buildV3Package(const std::string& name = "camera_update.img") {
        return buildPackage(name, {{"--group", "V3G"}, {"--group", "V3G", "--fx3", "C1.2.0.0"}});
    }

    std::filesystem::path dir;
    std::unique_ptr<camsim::Bus> bus;
};

}  // namespace veltrion::desktop::test
