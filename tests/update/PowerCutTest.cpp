// Power cuts at many points of a forced update: after each cut the camera is
// plugged in again and updated the plain way (the all-cameras update when it
// came up in boot mode), as the console's -p does, then rebooted. Every
// region must then hold the image's bytes and the camera must run the image's
// versions, whatever the versions it reported in between.

#include "UpdateFixture.h"

#include <cctype>
#include <functional>
#include <ostream>

#include "flash/JsonRecord.h"
#include "format/FlashMap.h"

using namespace veltrion;

namespace {

enum class CutKind { AfterPages, DuringErase };

struct CutPoint {
    std::string image;  // "newer": new versions; "same": the factory's versions
    std::string where;  // the component and the place in its write
    CutKind kind;
    uint32_t count;     // pages programmed, or erases begun, before the cut
};

std::ostream& operator<<(std::ostream& out, const CutPoint& cut) {
    return out << cut.image << "/" << cut.where << "/" << (cut.kind == CutKind::AfterPages ? "page " : "erase ")
               << cut.count;
}

// The image options of the matrix: a small FPGA component keeps each of the
// many updates short.
std::vector<std::string> imageOptions(const std::string& image) {
    std::vector<std::string> options = {"--group", "V3G", "--fpga-size", "131072"};
    if (image == "same")
        options.insert(options.end(), {"--fx3", "C0.1.0.0", "--fpga", "F1.1.0.0", "--audio", "A1.1.0.0", "--isp",
                                       "I1.1.0.0", "--bootloader", "C0.1.0.0", "--backup-fx3", "C0.1.0.0"});
    return options;
}

// Hands every message to a function as well, so a probe can read the
// camera's counters at the moment a write begins.
class WatchingLogger : public CapturingLogger {
public:
    explicit WatchingLogger(std::function<void(const std::string&)> watch) : CapturingLogger(1), watch_(std::move(watch)) {}

protected:
    void output(const char* message) override {
        CapturingLogger::output(message);
        watch_(message);
    }

private:
    std::function<void(const std::string&)> watch_;
};

// The order in which a forced update writes, after clearing the JSON
// record's tag (one page, no erase): each firmware component in two
// programming runs (all but its signature, then its first page), the feature
// defaults in one (their 4 KiB erase is not a sector run), the JSON record in
// two (all but its first page, then that page).
struct WriteRun {
    const char* component;
    int programRuns;
    bool eraseRun = true;
};
constexpr WriteRun kNewerWrites[] = {{"backup-fx3", 2}, {"bootloader", 2}, {"fpga", 2}, {"fx3", 2},
                                     {"audio", 2},      {"isp", 2},        {"defaults", 1, false}, {"json", 2}};
// With the factory's versions the boot components are found up to date.
constexpr WriteRun kSameWrites[] = {{"fpga", 2}, {"fx3", 2}, {"audio", 2}, {"isp", 2}, {"defaults", 1, false}, {"json", 2}};

// Runs a forced update on a probe camera and turns the counters seen at the
// start of each programming and erase run into cut points: the first, a
// middle and the last two pages of each component (the last is its
// signature), and the first and last erase of each.
std::vector<CutPoint> cutPointsFor(const std::string& imageName) {
    TempDir dir("powercut-probe");
    camsim::Bus bus(dir.path() / "bus");
    ::setenv("VELTRION_SIM", (dir.path() / "bus").c_str(), 1);
    Veltrion2CamMgr mgr(true);
    std::vector<uint64_t> programStarts, eraseStarts;
    std::vector<uint32_t> eraseCounts;
    WatchingLogger log([&](const std::string& line) {
        if (line.rfind("Veltrion2CamMgr::programFlash: starting to write", 0) == 0 ||
            line.rfind("Veltrion2CamMgr::eraseFlashSectors: starting to erasing", 0) == 0) {
            auto stats = bus.stats("probe");
            const uint64_t erases = stats["sectors-erased-4k"] + stats["sectors-erased-32k"] + stats["sectors-erased-64k"];
            if (line.find("programFlash") != std::string::npos) {
                programStarts.push_back(stats["pages-programmed"]);
            } else {
                eraseStarts.push_back(erases);
                eraseCounts.push_back(static_cast<uint32_t>(std::stoul(line.substr(line.find("erasing ") + 8))));
            }
        }
    });
    mgr.setLogger(&log);
    bus.add("probe");
    const std::string image = testimages::buildSingleImage(mgr, dir.path(), imageName, imageOptions(imageName));
    bool updated = false;
    const bool probed = mgr.updateCameraFirmware(true, updated, 0, 0, bus.find("probe").path, image);
    const uint64_t pagesAtEnd = bus.stats("probe")["pages-programmed"];
    ::unsetenv("VELTRION_SIM");
    if (!probed || image.empty()) return {};

    std::vector<CutPoint> cuts;
    const auto& writes = imageName == "same" ? std::vector<WriteRun>(std::begin(kSameWrites), std::end(kSameWrites))
                                             : std::vector<WriteRun>(std::begin(kNewerWrites), std::end(kNewerWrites));
    size_t run = 1;  // the JSON record's tag
    size_t eraseRun = 0;
    for (size_t w = 0; w < writes.size(); ++w) {
        const uint64_t first = programStarts.at(run);
        run += static_cast<size_t>(writes[w].programRuns);
        const uint64_t end = run < programStarts.size() ? programStarts[run] : pagesAtEnd;
        const std::string name = writes[w].component;
        for (const auto& [place, page] : {std::pair<const char*, uint64_t>{"first page", first + 1},
                                          {"middle page", (first + end) / 2},
                                          {"last body page", end - 1},
                                          {"signature page", end}})
            cuts.push_back({imageName, name + " " + place, CutKind::AfterPages, static_cast<uint32_t>(page)});
        // Erase runs belong to the writes in the same order.
        if (!writes[w].eraseRun) continue;
        const size_t e = eraseRun++;
        const uint64_t eraseFirst = eraseStarts.at(e);
        cuts.push_back({imageName, name + " first erase", CutKind::DuringErase, static_cast<uint32_t>(eraseFirst + 1)});
        if (eraseCounts.at(e) > 1)
            cuts.push_back({imageName, name + " last erase", CutKind::DuringErase,
                            static_cast<uint32_t>(eraseFirst + eraseCounts[e])});
    }
    return cuts;
}

std::vector<CutPoint> allCutPoints() {
    std::vector<CutPoint> cuts = cutPointsFor("newer");
    const std::vector<CutPoint> same = cutPointsFor("same");
    cuts.insert(cuts.end(), same.begin(), same.end());
    return cuts;
}

class PowerCut : public UpdateTest, public ::testing::WithParamInterface<CutPoint> {};

TEST_P(PowerCut, PlainUpdateAfterTheCutBringsEveryRegionToTheImage) {
    const CutPoint& cut = GetParam();
    bus.add("cam0");
    const std::string path = image(cut.image, imageOptions(cut.image));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(mgr->openAndReadFile(path, bytes));
    UpdatePackage package;
    ASSERT_TRUE(mgr->parseUpdatePackage(bytes.data(), bytes.size(), package));

    bus.fault("cam0", cut.kind == CutKind::AfterPages ? "power-loss-after-pages" : "power-loss-during-erase",
              std::to_string(cut.count));
    bool updated = false;
    EXPECT_FALSE(mgr->updateCameraFirmware(true, updated, 0, 0, pathOf("cam0"), path));
    ASSERT_FALSE(bus.find("cam0").present) << "the cut did not strike";
    bus.replug("cam0");

    log.clear();
    if (bus.find("cam0").bootLoader) {
        bool anyUpdated = false;
        ASSERT_TRUE(mgr->updateCameraFirmwareAllCams(path, false, anyUpdated)) << log.text();
    } else {
        ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), path)) << log.text();
        // The console's -p programs the new layout's feature defaults after it.
        if (updated) {
            const std::string json(package.json.begin(), package.json.end());
            ASSERT_TRUE(mgr->programDefaultFeatureValues(json, pathOf("cam0"))) << log.text();
        }
    }
    ASSERT_TRUE(mgr->rebootDevice(pathOf("cam0")));

    const auto region = [&](uint32_t address, size_t length) {
        return bus.readFlash("cam0", address, static_cast<uint32_t>(length));
    };
    EXPECT_EQ(region(flashmap::kBootLoaderAddress, package.bootloader.size()), package.bootloader);
    EXPECT_EQ(region(flashmap::kFx3Address, package.fx3.size()), package.fx3);
    EXPECT_EQ(region(flashmap::kBackupFx3Address, package.backupFx3.size()), package.backupFx3);
    EXPECT_EQ(region(package.fpga.flashAddress, package.fpga.length()), package.fpga.data);
    EXPECT_EQ(region(package.audio.flashAddress, package.audio.length()), package.audio.data);
    EXPECT_EQ(region(package.isp.flashAddress, package.isp.length()), package.isp.data);
    const auto record = flash::jsonRecord(package.json);
    EXPECT_EQ(region(flashmap::kJsonAddress, record.size()), record);

    const CameraInfo after = info("cam0");
    EXPECT_TRUE(after.systemReady);
    EXPECT_EQ(after.fx3Version, package.fx3Version);
    EXPECT_EQ(after.fpgaVersion, package.fpga.version);
    EXPECT_EQ(after.audioVersion, package.audio.version);
    EXPECT_EQ(after.ispVersion, package.isp.version);
}

INSTANTIATE_TEST_SUITE_P(Matrix, PowerCut, ::testing::ValuesIn(allCutPoints()),
                         [](const ::testing::TestParamInfo<CutPoint>& param) {
                             std::string name = std::to_string(param.index) + "_" + param.param.image + "_" +
                                                param.param.where + "_" + std::to_string(param.param.count);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
