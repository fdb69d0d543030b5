#pragma once

// A fresh simulated bus for one desktop test, selected the way the program
// selects it (VELTRION_SIM), and the update packages the program looks for.

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "Bus.h"
#include "config/JsonRef.h"
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
            const std::string single =
                testimages::buildSingleImage(mgr, dir, name + std::to_string(i), images[i], jsonFile);
            if (single.empty()) return {};
            singles.push_back(single);
        }
        const std::string built =
            testimages::buildUnifiedPackage(mgr, dir, name + "-package", singles, (dir / (name + "0") / "features.json").string());
        if (built.empty()) return {};
        const std::filesystem::path target = dir / name;
        std::filesystem::rename(built, target);
        return target.string();
    }
    // A package of the newer V3 firmware (make-firmware options) whose
    // feature JSON is the simulator's, changed by edit. Empty on failure.
    std::string buildV3PackageWithJson(const std::string& name, const std::function<void(json_t*)>& edit,
                                       const std::vector<std::string>& options = {"--group", "V3G"}) {
        const std::string source = std::string(VELTRION_SOURCE_DIR) + "/sim/data/features-V3G.json";
        json_error_t error;
        JsonRef root(json_load_file(source.c_str(), JSON_PRESERVE_ORDER, &error));
        if (!root) return {};
        edit(root.get());
        const std::string jsonFile = (dir / (name + ".json")).string();
        if (json_dump_file(root.get(), jsonFile.c_str(), JSON_PRESERVE_ORDER | JSON_INDENT(2)) != 0) return {};
        return buildPackage(name, {options}, jsonFile);
    }
    // The newer V3 firmware make-firmware gives, with and without audio.
    std::string buildV3Package(const std::string& name = "camera_update.img") {
        return buildPackage(name, {{"--group", "V3G"}, {"--group", "V3G", "--fx3", "C1.2.0.0"}});
    }

    std::filesystem::path dir;
    std::unique_ptr<camsim::Bus> bus;
};

}  // namespace veltrion::desktop::test
