#include "RecordedActions.h"

#include <gtest/gtest.h>

#include <fstream>

#include "console/ConsoleHarness.h"

namespace recordings {

namespace {

constexpr const char* kCamera = "cam0";
constexpr const char* kSerial = "A1B2C3D4E5F6";
constexpr const char* kCalibratedProductId = "c002";
constexpr int kFailure = 255;
// Pages programmed before the cut in the recovery's preparation: the update
// flag's page, then a few pages into the boot loader's.
constexpr const char* kPagesBeforeTheCut = "4";

// Every component small, so that reading or writing the firmware moves a few
// KiB; versions one release after the factory firmware.
std::vector<std::string> smallFirmware(std::vector<std::string> versions) {
    std::vector<std::string> options{"--group",      "V3G",  "--fpga-size",       "4096", "--fx3-size",
                                     "4096",         "--bootloader-size",   "2048",  "--backup-fx3-size",
                                     "4096",         "--isp-size", "8192",  "--audio-size", "2048"};
    options.insert(options.end(), versions.begin(), versions.end());
    return options;
}

// The camera most actions are recorded on: running the small base firmware
// (small components keep the recordings small).
void addSmallCamera(const SimulatedBus& bus) {
    ASSERT_EQ(bus.sim({"add", kCamera, "--serial", kSerial}).status, 0);
    buildImages(bus, {"base"});
    const RunResult forced = bus.tool({"-p", "0", "-f", "base.img"});
    ASSERT_EQ(forced.status, 0) << forced.out;
    ASSERT_EQ(bus.tool({"--reboot", "0"}).status, 0);
}

// A camera with calibration data in its configuration block, as it left the factory.
void addCalibratedCamera(const SimulatedBus& bus) {
    ASSERT_EQ(bus.sim({"add", kCamera, "--pid", kCalibratedProductId, "--serial", kSerial}).status, 0);
}

// The update flag's page is written first, then the boot loader: a power
// cut there leaves a camera whose controller finds nothing to boot.
void leaveInBootMode(const SimulatedBus& bus) {
    addSmallCamera(bus);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    ASSERT_EQ(bus.sim({"fault", kCamera, "power-loss-after-pages", kPagesBeforeTheCut}).status, 0);
    const RunResult cut = bus.tool({"-p", "0", "boot.img"});
    ASSERT_EQ(cut.status, kFailure) << cut.out;
    ASSERT_EQ(bus.sim({"replug", kCamera}).status, 0);
    const RunResult broken = bus.tool({"-b"});
    ASSERT_TRUE(broken.says("There is(are) 1 Broken")) << broken.out;
}

}  // namespace

const std::vector<ImageRecipe>& imageRecipes() {
    static const std::vector<ImageRecipe> recipes{
        {"base", smallFirmware({})},
        // A newer FPGA component only: a plain update writes just that.
        {"fpga", smallFirmware({"--fpga", "F1.3.0.0"})},
        // A newer boot loader too; the boot loaders are looked at only when
        // some component is to be updated.
        {"boot", smallFirmware({"--fpga", "F1.3.0.0", "--bootloader", "C0.3.0.0"})},
    };
    return recipes;
}

const std::vector<RecordedAction>& recordedActions() {
    static const std::string report = std::string("report/device (") + kSerial + ")/reportFile(" + kSerial + ").txt";
    static const std::vector<RecordedAction> actions{
        {"list", {"-d", "all"}, 0, {}, {}, "", addSmallCamera},
        {"update-check", {"-t", "0", "fpga.img"}, 0, {"fpga"}, {}, "", addSmallCamera},
        {"update-fpga", {"-p", "0", "fpga.img"}, 0, {"fpga"}, {}, "", addSmallCamera},
        {"report", {"-z", "0"}, 0, {}, {}, report, addSmallCamera},
        {"uvc-list", {"--uvc", "-d", "all"}, 0, {}, {}, "", addSmallCamera},
        {"boot-recovery", {"-p", "all", "boot.img"}, 0, {"boot"}, {}, "", leaveInBootMode},
        // The block is backed up first under a name with the time of day,
        // which a replay must give as the recorded run did.
        {"calibration-write", {"--write-calib", "0", "calib.txt"}, 0, {}, {{"calib.txt", "overlapx 0: 77\n"}}, "",
         addCalibratedCamera},
    };
    return actions;
}

void buildImages(const SimulatedBus& bus, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        for (const ImageRecipe& recipe : imageRecipes())
            if (recipe.name == name) bus.buildImage(recipe.name, recipe.makeFirmwareOptions);
    }
}

void provideFiles(const SimulatedBus& bus, const RecordedAction& action) {
    buildImages(bus, action.images);
    for (const InputFile& input : action.inputs) {
        std::ofstream out(bus.workDir() + "/" + input.name, std::ios::binary | std::ios::trunc);
        out << input.text;
        ASSERT_TRUE(out.good()) << "cannot write " << input.name;
    }
}

}  // namespace recordings
