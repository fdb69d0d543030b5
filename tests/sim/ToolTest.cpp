// The veltrion-sim command line: its output and its refusals.

#include <sstream>

#include "CameraStateJson.h"
#include "SimFixture.h"
#include "tool/ToolCommands.h"

namespace camsim::test {
namespace {

class ToolTest : public SimBusTest {
protected:
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return runTool(args, dir.string(), out, err);
    }
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(ToolTest, AddListAndRemove) {
    ASSERT_EQ(run({"add", "cam0"}), kToolOk) << err.str();
    ASSERT_EQ(run({"add", "cam1", "--pid", "c002", "--serial", "ABCDEF123456"}), kToolOk) << err.str();
    ASSERT_EQ(run({"add", "dead", "--blank"}), kToolOk) << err.str();
    ASSERT_EQ(run({"list"}), kToolOk);
    const std::string serial = bus->find("cam0").serial;
    EXPECT_EQ(out.str(), "cam0 3a7c:0003 " + serial +
                             " present running\n"
                             "cam1 3a7c:c002 ABCDEF123456 present running\n"
                             "dead 04b4:00f3 - present boot-loader\n");
    // The default serial is 12 upper-case hex digits and the same for the same name.
    EXPECT_EQ(serial.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    ASSERT_EQ(run({"remove", "cam0"}), kToolOk);
    ASSERT_EQ(run({"add", "cam0"}), kToolOk);
    EXPECT_EQ(bus->find("cam0").serial, serial);

    ASSERT_EQ(run({"replug", "cam1"}), kToolOk);
    ASSERT_EQ(run({"stats", "cam1"}), kToolOk);
    EXPECT_EQ(out.str().rfind("resets: 0\npower-cycles: 1\n", 0), 0u) << out.str();
}

TEST_F(ToolTest, BadInputGivesOneLineAndStatusOne) {
    ASSERT_EQ(run({"add", "cam0"}), kToolOk);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"add", "cam0"}, "exists already"},
        {{"add", "x", "--pid", "12345"}, "bad pid"},
        {{"add", "x", "--pid", "zz00"}, "bad pid"},
        {{"add", "x", "--pid", "0004"}, "unknown product id 0004"},
        {{"add", "x", "--serial", "SHORT"}, "bad serial"},
        {{"add", "../x"}, "bad camera name"},
        {{"stats", "nope"}, "no camera named 'nope'"},
        {{"set", "cam0", "colour", "1"}, "unknown key 'colour'"},
        {{"set", "cam0", "streaming", "2"}, "bad value '2' for streaming"},
        {{"set", "cam0", "timing", "slow"}, "bad value 'slow' for timing"},
        {{"fault", "cam0", "refuse-everything", "1"}, "unknown fault"},
        {{"fault", "cam0", "fail-next", "c2"}, "bad value 'c2' for fail-next"},
        {{"set", "cam0", "friendly-name", "two\nlines"}, "bad value"},
        {{"set", "cam0", "control-zoom", "501"}, "bad value '501' for control-zoom (expected 100..500)"},
        {{"set", "cam0", "control-colour", "1"}, "unknown key 'control-colour'"},
        {{"fault", "cam0", "xu-stall-ms", "60001"}, "bad value"},
        {{"set", "cam0", "fd-sen", "0x945"}, "bad value '0x945' for fd-sen"},
        {{"set", "cam0", "roi", "500-"}, "bad value '500-' for roi"},
        {{"set", "cam0", "isp0-faces", "1,2,3"}, "bad value"},
        {{"set", "cam0", "isp1-faces", "-;-;-;-;-;-;-;-;-;-;-;-;-;-;-;-;-"}, "bad value"},  // 17 slots
        {{"set", "cam0", "face-ready", "1,2"}, "bad value '1,2' for face-ready"},
        {{"set", "cam0", "roi-support", "yes"}, "bad value"},
        {{"add", "x", "--vid", "12"}, "bad vid"},
        {{"frobnicate"}, "unknown command"},
        {{"remove"}, "wrong number of arguments"},
        {{}, "no command"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(run(args), kToolError) << message;
        EXPECT_EQ(err.str().rfind("veltrion-sim: ", 0), 0u) << err.str();
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
    }
    EXPECT_EQ(runTool({"list"}, "", out, err), kToolError);  // no bus directory
}

TEST_F(ToolTest, SetAndFaultReachTheCamera) {
    ASSERT_EQ(run({"add", "cam0"}), kToolOk);
    ASSERT_EQ(run({"set", "cam0", "system-loaded", "0"}), kToolOk);
    ASSERT_EQ(run({"set", "cam0", "timing", "realistic"}), kToolOk);
    ASSERT_EQ(run({"fault", "cam0", "fail-next", "0xC2:3"}), kToolOk);
    ASSERT_EQ(run({"fault", "cam0", "fail-next", "c3:1"}), kToolOk);
    ASSERT_EQ(run({"fault", "cam0", "power-loss-after-pages", "12"}), kToolOk);
    ASSERT_EQ(run({"fault", "cam0", "short-reply", "c9:2"}), kToolOk);
    EXPECT_EQ(run({"fault", "cam0", "short-reply", "c9"}), kToolError);
    auto state = bus->state("cam0");
    EXPECT_EQ(state.run.systemLoaded, SystemLoadedOverride::Off);
    EXPECT_EQ(state.timing.preset, "realistic");
    EXPECT_GT(state.timing.erase64kUs, state.timing.erase4kUs);
    EXPECT_EQ(state.faults.failNext, (std::map<uint8_t, uint32_t>{{0xC2, 3}, {0xC3, 1}}));
    EXPECT_EQ(state.faults.powerLossAfterPages, 12u);
    EXPECT_EQ(state.faults.shortReply, (std::map<uint8_t, uint32_t>{{0xC9, 2}}));  // kept in camera.json

    ASSERT_EQ(run({"fault", "cam0", "fail-next", "c2:0"}), kToolOk);
    EXPECT_EQ(bus->state("cam0").faults.failNext.count(0xC2), 0u);
    ASSERT_EQ(run({"fault", "cam0", "fail-next", "0"}), kToolOk);
    EXPECT_TRUE(bus->state("cam0").faults.failNext.empty());
}

TEST_F(ToolTest, FaceSettingsAndPresetsSurviveCameraJson) {
    ASSERT_EQ(run({"add", "cam0"}), kToolOk);
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"fd-sen", "0x944"},
             {"face-box", "1"},
             {"roi-support", "0"},
             {"roi", "none,500-400,stall"},
             {"isp-select-reply", "7"},
             {"isp2-faces", "1,2,3,4;-;65535,0,0,0"},
             {"face-ready", "2,never,0"},
             {"face-inconsistent", "0,1,0"}})
        ASSERT_EQ(run({"set", "cam0", key, value}), kToolOk) << key << ": " << err.str();
    CameraState state = bus->state("cam0");
    EXPECT_EQ(formatRoiScript(state.face.roi), "none,500-400,stall");
    EXPECT_EQ(formatFaceSlots(state.face.faces[2]), "1,2,3,4;-;65535,0,0,0");
    EXPECT_EQ(state.face.readyAfter, (std::array<int32_t, 3>{2, face::kNeverReady, 0}));
    state.face.roiNext = 2;
    state.presets[1][9] = {{"gain", 5}, {"brightness", -3}};
    state.presets[0][0] = {{"pan", -3600}};
    const CameraState back = cameraStateFromJson(cameraStateToJson(state));
    EXPECT_EQ(back.face, state.face);
    EXPECT_EQ(back.presets, state.presets);
}

TEST_F(ToolTest, VideoSettingsForeignCamerasAndTheEventLog) {
    ASSERT_EQ(run({"add", "cam0", "--vid", "046d", "--pid", "0825"}), kToolOk) << err.str();
    ASSERT_EQ(run({"set", "cam0", "friendly-name", "Room Camera"}), kToolOk);
    ASSERT_EQ(run({"set", "cam0", "control-pan", "-7200"}), kToolOk);
    ASSERT_EQ(run({"set", "cam0", "framing", "1"}), kToolOk);
    ASSERT_EQ(run({"fault", "cam0", "xu-vanish-after", "3"}), kToolOk);
    const auto state = bus->state("cam0");
    EXPECT_EQ(state.identity.vendorId, 0x046d);
    EXPECT_EQ(state.video.controls.at("pan"), -7200);
    EXPECT_TRUE(state.video.framing);
    EXPECT_EQ(state.faults.xuVanishAfter, 3u);
    ASSERT_EQ(run({"replug", "cam0"}), kToolOk);
    ASSERT_EQ(run({"events"}), kToolOk);
    const std::string link = "simv:cam0:vid_046d&pid_0825:" + state.identity.serial;
    EXPECT_NE(out.str().find("\tadd\t" + link + "\tcam0\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\tremove\t" + link + "\tRoom Camera\n"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace camsim::test
