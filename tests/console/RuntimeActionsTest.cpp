// The run-time actions of the console tool on a simulated camera: the ROI and
// raw-face monitors until Ctrl-C or a device error, presets, face-detection
// sensitivity, face box and sensor temperatures.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ConsoleHarness.h"

namespace {

using namespace std::chrono_literals;

constexpr int kFailure = 255;  // exit status -1 as the shell sees it

// Runs a monitor action for a while, then presses Ctrl-C.
RunResult interruptAfter(const SimulatedBus& bus, const std::vector<std::string>& args, std::chrono::milliseconds run) {
    const StartedProgram tool = bus.startTool(args);
    std::this_thread::sleep_for(run);
    kill(tool.pid, SIGINT);
    return finishWithin(tool, 3s);
}

class RuntimeActions : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(bus.sim({"add", "cam0", "--pid", "c002"}).status, 0); }
    void set(const std::string& key, const std::string& value) {
        ASSERT_EQ(bus.sim({"set", "cam0", key, value}).status, 0) << key;
    }
    SimulatedBus bus;
};

TEST_F(RuntimeActions, RoiMonitorPrintsEachSecondUntilCtrlC) {
    set("roi", "none,100-900");
    const RunResult r = interruptAfter(bus, {"--start-roi", "0"}, 2200ms);
    EXPECT_EQ(r.status, 0) << r.out;
    const std::string start = "Using channel: Veltrion-C\nPress Ctrl-C to cancel...\nNo ROI...\n"
                              "ROI: startX 100, endX 900\nROI: startX 100, endX 900\n";
    EXPECT_EQ(r.out.rfind(start, 0), 0u) << r.out;
    EXPECT_TRUE(r.says("cancelling Face data monitor\n\n")) << r.out;
    EXPECT_FALSE(r.says("device error"));
}

TEST_F(RuntimeActions, RoiMonitorEndsByItselfOnADeviceError) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"500-400", "ROI device error: ROI start X > end X\n"},
        {"stall", "ROI device error: control transfer pull ROI data failed\n"},
    };
    for (const auto& [script, error] : cases) {
        set("roi", script);
        const RunResult r = finishWithin(bus.startTool({"--start-roi", "0"}), 2s);
        EXPECT_EQ(r.status, kFailure) << script;
        EXPECT_TRUE(r.says("Press Ctrl-C to cancel...\n")) << r.out;
        EXPECT_TRUE(r.says(error)) << r.out;
        EXPECT_FALSE(r.says("cancelling"));
    }

    set("roi-support", "0");
    const RunResult unsupported = bus.tool({"--start-roi", "0"});
    EXPECT_EQ(unsupported.status, kFailure);
    EXPECT_TRUE(unsupported.says("ROI monitor not supported for this camera\nfailed to start SF ROI monitor\n"))
        << unsupported.out;
    const RunResult all = bus.tool({"--start-roi", "all"});
    EXPECT_EQ(all.status, kFailure);
    EXPECT_EQ(all.out, "Using channel: Veltrion-C\n");
}

TEST_F(RuntimeActions, RawFaceMonitorNumbersFacesByTheirSlot) {
    set("streaming", "1");
    set("isp0-faces", "-;100,50,300,250");
    set("isp2-faces", "7,8,9,10");
    const RunResult r = interruptAfter(bus, {"--start-raw-face", "0"}, 1500ms);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.says("Press Ctrl-C to cancel...\nisStreaming = 1\nISP 0 faces:\nface 1 at (100, 50, 300, 250)\n"
                       "ISP 1 faces:\nISP 2 faces:\nface 0 at (7, 8, 9, 10)\n"))
        << r.out;
    EXPECT_TRUE(r.says("cancelling Face data monitor\n"));

    set("isp-select-reply", "2");
    const RunResult refused = finishWithin(bus.startTool({"--start-raw-face", "0"}), 2s);
    EXPECT_EQ(refused.status, kFailure);
    EXPECT_TRUE(refused.says("Raw Face device error: setup ISP 0 failed, ret = 2\n")) << refused.out;
}

TEST_F(RuntimeActions, SensitivityMustBeOneHexNumberInRange) {
    const std::vector<std::pair<std::string, std::string>> refused{
        {"944", "Invalid sensitivity \"944\"! Not begin with 0x or no value\n"},
        {"0x", "Invalid sensitivity \"0x\"! Not begin with 0x or no value\n"},
        {"0xZZ", "unable to scan sensitivity from 0xZZ\n"},
        {"0x10944", "invalid senVal given 0x10944\n"},
        {"0x945", "invalid senVal given 0x945\n"},
    };
    for (const auto& [value, message] : refused) {
        const RunResult r = bus.tool({"--fd-sen", "0", value});
        EXPECT_EQ(r.status, kFailure) << value;
        EXPECT_TRUE(r.says(message)) << r.out;
    }
    EXPECT_EQ(bus.stat("cam0", "fd-sen"), 0x4A2);  // nothing reached the camera
    EXPECT_TRUE(bus.tool({"--fd-sen", "all", "0x10"}).says("does not support all cam\n"));

    const RunResult r = bus.tool({"--fd-sen", "0", "0x944"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.says("Succesfully set fd sen to 0x944\n"));
    EXPECT_EQ(bus.stat("cam0", "fd-sen"), 0x944);
}

TEST_F(RuntimeActions, PresetArgumentsAreCheckedBeforeTheCamera) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"0", "save", "ptz", "10"}, "invalid button number 10, can only between 0 to 9\n"},
        {{"0", "save", "ptz", "-1"}, "invalid button number -1, can only between 0 to 9\n"},
        {{"0", "save", "ptz", "x"}, "unable to scan button number from x\n"},
        {{"0", "save", "pan", "1"}, "invalid preset type pan, can only be \"ptz\" or \"control\"\n"},
        {{"0", "load", "ptz", "1"}, "invalid action load, can only be \"save\", \"apply\", or \"reset\"\n"},
        {{"all", "save", "ptz", "1"}, "does not handle all cam\n"},
    };
    for (auto [args, message] : refused) {
        args.insert(args.begin(), "--preset");
        const RunResult r = bus.tool(args);
        EXPECT_EQ(r.status, kFailure) << message;
        EXPECT_TRUE(r.says(message)) << r.out;
        EXPECT_FALSE(r.says("preset on btn")) << r.out;
    }
    EXPECT_EQ(bus.stat("cam0", "transfers-0xfe"), -1);

    const RunResult saved = bus.tool({"--preset", "0", "save", "control", "9"});
    EXPECT_EQ(saved.status, 0);
    EXPECT_TRUE(saved.says("successful save control preset on btn 9\n")) << saved.out;
    ASSERT_EQ(bus.sim({"fault", "cam0", "fail-next", "fe:1"}).status, 0);
    const RunResult failed = bus.tool({"--preset", "0", "apply", "ptz", "0"});
    EXPECT_EQ(failed.status, kFailure);
    EXPECT_TRUE(failed.says("failed to apply ptz preset on btn 0\n")) << failed.out;
}

TEST_F(RuntimeActions, FaceBoxTakesZeroOrOne) {
    const RunResult on = bus.tool({"--face-box", "0", "1"});
    EXPECT_EQ(on.status, 0);
    EXPECT_TRUE(on.says("SUccessfully enable face box\n"));
    EXPECT_EQ(bus.stat("cam0", "face-box"), 1);
    const RunResult bad = bus.tool({"--face-box", "0", "2"});
    EXPECT_EQ(bad.status, kFailure);
    EXPECT_TRUE(bad.says("enable argument can only be 0 or 1\n"));
    EXPECT_TRUE(bus.tool({"--face-box", "all", "0"}).says("does not support all cam\n"));
    EXPECT_EQ(bus.stat("cam0", "face-box"), 1);
}

// Readings 60, 61 and 59 against the sensors' calibration readings 0x57,
// 0x56 and 0x58: (D - (E - 86.588226)) / 1.443137.
TEST_F(RuntimeActions, SensorTemperaturesOnlyOverTheUvcChannel) {
    set("sensor-temp", "41,42.5,40");
    const RunResult vendor = bus.tool({"--sensor-temp", "0"});
    EXPECT_EQ(vendor.status, kFailure);
    EXPECT_TRUE(vendor.says(
        "sensor temp can only be read from UVC channel. Please re-run the command with --uvc argument\n"));
    const RunResult uvc = bus.tool({"--sensor-temp", "--uvc", "0"});
    EXPECT_EQ(uvc.status, 0) << uvc.out;
    EXPECT_TRUE(uvc.says("Sensor0: 41.291 Celsius\nSensor1: 42.677 Celsius\nSensor2: 39.905 Celsius\n")) << uvc.out;
}

}  // namespace
