// Firmware update actions of the console tool on simulated cameras: the
// release engineer's -c, then -t, -p, --reboot and -d as a user runs them,
// and the fault scenarios a service engineer meets.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ConsoleHarness.h"

namespace {

constexpr int kFailure = 255;  // exit status -1 as the shell sees it

class UpdateActions : public ::testing::Test {
protected:
    // Component files for the group and versions, then the image built from
    // them with -c; returns the image's path.
    std::string buildImage(const std::string& name, std::vector<std::string> options) {
        std::vector<std::string> args{"make-firmware", "--out", bus.workDir() + "/" + name};
        args.insert(args.end(), options.begin(), options.end());
        const RunResult made = bus.sim(args);
        EXPECT_EQ(made.status, 0) << made.out << made.err;
        const auto lines = splitLines(made.out);
        std::vector<std::string> create{"-c"};
        std::istringstream words(lines.empty() ? "" : lines.back());
        for (std::string word; words >> word;) create.push_back(word);
        const std::string image = bus.workDir() + "/" + name + ".img";
        create.push_back(image);
        const RunResult created = bus.tool(create);
        EXPECT_EQ(created.status, 0) << created.out;
        return image;
    }
    // The value printed after "label" in -d's block of camera 0.
    std::string shown(const std::string& label) const {
        const RunResult d = bus.tool({"-d", "0"});
        for (const auto& line : splitLines(d.out))
            if (line.rfind(label, 0) == 0) return line.substr(label.size());
        return "";
    }

    SimulatedBus bus;
};

TEST_F(UpdateActions, MainJobUpdatesACameraAndASecondRunFindsNothingToDo) {
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);
    const std::string image = buildImage("newer", {"--group", "V3G"});

    const RunResult check = bus.tool({"-t", "0", image});
    EXPECT_EQ(check.status, 0);
    EXPECT_TRUE(check.says("Device 0's firmware can be updated, and the update takes about 570 seconds\n")) << check.out;

    const RunResult update = bus.tool({"-p", "0", image});
    EXPECT_EQ(update.status, 0) << update.out;
    for (const char* line : {"Update progress: FX3B 7%\n", "Update progress: BL 8%\n", "Update progress: FPGA 88%\n",
                             "Update progress: FX3M 95%\n", "Update progress: AUDIO 96%\n",
                             "Update progress: ISP 99%\n", "Update progress: LUT 100%\n", "Update progress:  100%\n",
                             "Update Successful: Please reboot the updated camera\n"})
        EXPECT_TRUE(update.says(line)) << line << "\n" << update.out;

    EXPECT_EQ(bus.tool({"--reboot", "0"}).status, 0);
    EXPECT_EQ(shown("FX3_Version  = "), "0x43020000");
    EXPECT_EQ(shown("FPGA_Version = "), "0x46420000");
    EXPECT_EQ(shown("System Ready = "), "1");

    const RunResult again = bus.tool({"-p", "0", image});
    EXPECT_EQ(again.status, 0);
    EXPECT_FALSE(again.says("Update Successful")) << again.out;
    EXPECT_TRUE(again.says("FPGA ver is same, not updating FPGA"));
    EXPECT_TRUE(bus.tool({"-t", "0", image}).says("Device 0 already has the up-to-date firmware\n"));
}

TEST_F(UpdateActions, SelectorsAndImagesThatCannotBeUsed) {
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);
    ASSERT_EQ(bus.sim({"add", "cam1"}).status, 0);
    const RunResult scan = bus.tool({"-p", "x", "img"});
    EXPECT_TRUE(scan.says("updateCameraFirmware: unable to scan camera number from x\n"));
    EXPECT_EQ(scan.status, kFailure);
    const RunResult missing = bus.tool({"-p", "7", "img"});
    EXPECT_TRUE(missing.says("updateCameraFirmware: no such camera id 7\n"));
    EXPECT_EQ(missing.status, kFailure);
    const RunResult all = bus.tool({"-t", "all", "img"});
    EXPECT_TRUE(all.says("displayDeviceUpdateInfo: Not supported all cam\n"));
    EXPECT_EQ(all.status, kFailure);
    const RunResult unreadable = bus.tool({"-p", "0", "no-such.img"});
    EXPECT_TRUE(unreadable.says("updateCameraFirmware: failed to read file no-such.img\n"));
    EXPECT_EQ(unreadable.status, kFailure);

    const std::string v2 = buildImage("v2", {"--group", "V2G"});
    const RunResult mismatch = bus.tool({"-p", "0", v2});
    EXPECT_TRUE(mismatch.says("fw group type mismatched. Current V3G, Img given V2G"));
    EXPECT_EQ(mismatch.status, kFailure);
    EXPECT_EQ(bus.stat("cam0", "pages-programmed"), 0);
}

TEST_F(UpdateActions, AllCamerasOnAnEmptyBusIsASuccess) {
    const std::string image = buildImage("newer", {"--group", "V3G"});
    const RunResult none = bus.tool({"-p", "all", image});
    EXPECT_EQ(none.status, 0) << none.out;
    EXPECT_TRUE(none.says("updateCameraFirmwareAllCams: no device found\n"));
    EXPECT_FALSE(none.says("Update Successful"));
}

TEST_F(UpdateActions, PowerLossDuringTheFpgaWriteThenASecondUpdateRestoresTheCamera) {
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);
    const std::string image = buildImage("newer", {"--group", "V3G"});
    ASSERT_EQ(bus.sim({"fault", "cam0", "power-loss-after-pages", "2000"}).status, 0);
    const RunResult cut = bus.tool({"-p", "0", image});
    EXPECT_EQ(cut.status, kFailure);
    EXPECT_TRUE(cut.says("Veltrion2CamMgr::updateCameraFirmware - failed program FPGA\n")) << cut.out;
    EXPECT_EQ(bus.tool({"-d", "0"}).status, kFailure);  // the camera is off the bus

    ASSERT_EQ(bus.sim({"replug", "cam0"}).status, 0);
    EXPECT_EQ(shown("System Ready = "), "0");
    const RunResult repair = bus.tool({"-p", "0", image});
    EXPECT_EQ(repair.status, 0) << repair.out;
    EXPECT_TRUE(repair.says("camera fw version not working - forcing update all components"));
    EXPECT_EQ(bus.tool({"--reboot", "0"}).status, 0);
    EXPECT_EQ(shown("System Ready = "), "1");
    EXPECT_EQ(shown("FPGA_Version = "), "0x46420000");
}

// The product waits 20 seconds for recovered controllers: this test takes that long.
TEST_F(UpdateActions, CameraLeftInBootModeIsCountedAndRecoveredByTheAllCamerasUpdate) {
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);
    const std::string image = buildImage("newer", {"--group", "V3G"});
    // The backup FX3 is written first (about 480 pages), then the boot loader.
    ASSERT_EQ(bus.sim({"fault", "cam0", "power-loss-after-pages", "520"}).status, 0);
    EXPECT_EQ(bus.tool({"-p", "0", image}).status, kFailure);
    ASSERT_EQ(bus.sim({"replug", "cam0"}).status, 0);

    const RunResult broken = bus.tool({"-b"});
    EXPECT_EQ(broken.status, 0);
    EXPECT_TRUE(broken.says("There is(are) 1 Broken \"WestBridge\" Veltrion2 camera(s) in the system\n"));
    EXPECT_EQ(bus.tool({"-d", "all"}).status, kFailure);

    const RunResult recover = bus.tool({"-p", "all", image});
    EXPECT_EQ(recover.status, 0) << recover.out;
    EXPECT_TRUE(recover.says("found westbridge cam"));
    EXPECT_TRUE(recover.says("Update Successful: Please reboot all cameras\n"));
    EXPECT_EQ(bus.tool({"--reboot", "all"}).status, 0);
    EXPECT_EQ(bus.tool({"-b"}).status, kFailure);  // none left in boot mode
    EXPECT_EQ(shown("FX3_Version  = "), "0x43020000");
    EXPECT_EQ(shown("System Ready = "), "1");
}

TEST_F(UpdateActions, CutFx3WriteIsReportedByTheCheckAndRepairedByAPlainUpdate) {
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);
    const std::string image = buildImage("newer", {"--group", "V3G"});
    // Past the boot components (~560 pages) and the FPGA (4096): inside the FX3 write.
    ASSERT_EQ(bus.sim({"fault", "cam0", "power-loss-after-pages", "4800"}).status, 0);
    EXPECT_EQ(bus.tool({"-p", "0", image}).status, kFailure);
    ASSERT_EQ(bus.sim({"replug", "cam0"}).status, 0);
    // The backup FX3 firmware runs and reports the new version.
    EXPECT_EQ(shown("FX3_Version  = "), "0x43020000");

    const RunResult check = bus.tool({"-t", "0", image});
    EXPECT_TRUE(check.says("Device 0's firmware can be updated, and the update takes about 20 seconds\n")) << check.out;
    const RunResult repair = bus.tool({"-p", "0", image});
    EXPECT_EQ(repair.status, 0) << repair.out;
    EXPECT_TRUE(repair.says("updating FX3 firmware"));
    EXPECT_EQ(bus.tool({"--reboot", "0"}).status, 0);
    EXPECT_TRUE(bus.tool({"-t", "0", image}).says("Device 0 already has the up-to-date firmware\n"));
}

TEST_F(UpdateActions, AllCamerasUpdateFailsWhenABootModeCameraGetsNoImageOfItsModel) {
    ASSERT_EQ(bus.sim({"add", "v2cam", "--pid", "0002"}).status, 0);
    const std::string v2 = buildImage("v2", {"--group", "V2G"});
    const std::string v3 = buildImage("v3", {"--group", "V3G"});
    // The boot loader's write is cut: the camera comes back in boot mode.
    ASSERT_EQ(bus.sim({"fault", "v2cam", "power-loss-after-pages", "520"}).status, 0);
    EXPECT_EQ(bus.tool({"-p", "0", v2}).status, kFailure);
    ASSERT_EQ(bus.sim({"replug", "v2cam"}).status, 0);
    ASSERT_TRUE(bus.tool({"-b"}).says("There is(are) 1 Broken"));
    const std::string flashFile = bus.busDir() + "/v2cam/flash.bin";
    const std::string before = readFile(flashFile);

    const RunResult wrongModel = bus.tool({"-p", "all", v3});
    EXPECT_EQ(wrongModel.status, kFailure) << wrongModel.out;
    EXPECT_TRUE(wrongModel.says("does not fit cam")) << wrongModel.out;
    EXPECT_EQ(readFile(flashFile), before);
}

}  // namespace
