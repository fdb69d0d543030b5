// -p all --jobs N: several cameras updated at once, each line marked with its
// camera, a power cut in one camera leaving the others updated.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ConsoleHarness.h"

namespace {

constexpr int kFailure = 255;

class ParallelUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"cam0", "cam1", "cam2"}) ASSERT_EQ(bus.sim({"add", name}).status, 0);
        const RunResult made = bus.sim({"make-firmware", "--group", "V3G", "--out", bus.workDir() + "/newer"});
        ASSERT_EQ(made.status, 0) << made.err;
        std::vector<std::string> create{"-c"};
        std::istringstream words(splitLines(made.out).back());
        for (std::string word; words >> word;) create.push_back(word);
        image = bus.workDir() + "/newer.img";
        create.push_back(image);
        ASSERT_EQ(bus.tool(create).status, 0);
    }
    std::string fx3Version(const std::string& position) const {
        for (const auto& line : splitLines(bus.tool({"-d", position}).out))
            if (line.rfind("FX3_Version  = ", 0) == 0) return line.substr(15);
        return "";
    }

    SimulatedBus bus;
    std::string image;
};

TEST_F(ParallelUpdate, EveryCameraIsUpdatedAndEachLineNamesItsCamera) {
    const RunResult run = bus.tool({"-p", "all", "--jobs", "3", image});
    ASSERT_EQ(run.status, 0) << run.out;
    for (const char* camera : {"[cam 0] ", "[cam 1] ", "[cam 2] "})
        EXPECT_TRUE(run.says(std::string(camera) + "Update progress: FPGA 88%\n")) << camera << run.out;
    EXPECT_TRUE(run.says("Update Successful: Please reboot all cameras\n"));
    ASSERT_EQ(bus.tool({"--reboot", "all"}).status, 0);
    for (const char* position : {"0", "1", "2"}) EXPECT_EQ(fx3Version(position), "0x43020000") << position;

    EXPECT_EQ(bus.tool({"-p", "all", "--jobs", "0", image}).status, kFailure);
    EXPECT_TRUE(bus.tool({"-p", "all", "--jobs", "x", image}).says("ERROR: --jobs needs the number of cameras"));
}

TEST_F(ParallelUpdate, PowerCutInOneCameraLeavesTheOthersUpdated) {
    ASSERT_EQ(bus.sim({"fault", "cam1", "power-loss-after-pages", "2000"}).status, 0);
    const RunResult cut = bus.tool({"-p", "all", "--jobs", "3", image});
    EXPECT_EQ(cut.status, kFailure) << cut.out;
    EXPECT_TRUE(cut.says("[cam 1] Veltrion2CamMgr::updateCameraFirmware - failed program FPGA\n")) << cut.out;
    EXPECT_TRUE(cut.says("updateCameraFirmwareAllCams: 1 of 3 cameras failed\n")) << cut.out;
    EXPECT_TRUE(cut.says("[cam 2] Update progress: ISP 99%\n")) << cut.out;

    ASSERT_EQ(bus.sim({"replug", "cam1"}).status, 0);
    const RunResult repair = bus.tool({"-p", "all", "--jobs", "2", image});
    EXPECT_EQ(repair.status, 0) << repair.out;
    ASSERT_EQ(bus.tool({"--reboot", "all"}).status, 0);
    for (const char* position : {"0", "1", "2"}) EXPECT_EQ(fx3Version(position), "0x43020000") << position;
}

}  // namespace
