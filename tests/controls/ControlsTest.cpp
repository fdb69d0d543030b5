// The run-time controls on a simulated camera: face-detection sensitivity,
// face box, presets and the sensor temperatures.

#include <cmath>

#include "ControlsFixture.h"

namespace controls_test {
namespace {

using veltrion::Veltrion2CamMgr;

TEST_F(ControlsOnSimBus, SensitivityReachesTheCameraUpToItsLimit) {
    bus.add("cam0");
    const std::string path = start();
    ASSERT_TRUE(mgr->setFDSen(path, 0x944));
    EXPECT_EQ(bus.state("cam0").face.sensitivity, 0x944);
    ASSERT_TRUE(mgr->setFDSen(path, 0));
    EXPECT_EQ(bus.state("cam0").face.sensitivity, 0);

    // Refused before the camera is opened: nothing reaches it.
    const uint64_t before = allTransfers();
    EXPECT_FALSE(mgr->setFDSen(path, 0x945));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::setFDSen failed - invalid senVal given 0x945\n")) << log.text();
    EXPECT_EQ(allTransfers(), before);
    EXPECT_EQ(bus.state("cam0").face.sensitivity, 0);

    bus.fault("cam0", "fail-next", "fe:1");
    EXPECT_FALSE(mgr->setFDSen(path, 0x100));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::setFDSen failed - control transfer failed\n"));
    EXPECT_FALSE(mgr->setFDSen("sim:no-such-camera", 0x100));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::setFDSen failed - unable to open dev sim:no-such-camera\n"));
}

TEST_F(ControlsOnSimBus, FaceBoxIsSwitchedAndARefusalReported) {
    bus.add("cam0");
    const std::string path = start();
    ASSERT_TRUE(mgr->setFaceBoxInVideo(path, true));
    EXPECT_TRUE(bus.state("cam0").face.faceBox);
    ASSERT_TRUE(mgr->setFaceBoxInVideo(path, false));
    EXPECT_FALSE(bus.state("cam0").face.faceBox);
    bus.fault("cam0", "fail-next", "fe:1");
    EXPECT_FALSE(mgr->setFaceBoxInVideo(path, true));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::setFaceBoxInVideo failed - control transfer failed\n"));
    EXPECT_FALSE(bus.state("cam0").face.faceBox);
}

TEST_F(ControlsOnSimBus, PresetWordsCarryTypeActionAndButton) {
    bus.add("cam0");
    const std::string path = start();
    ASSERT_TRUE(mgr->saveCamPreset(path, true, 9));
    EXPECT_EQ(bus.state("cam0").run.lastPreset, 0x1109);
    ASSERT_TRUE(mgr->applyCamPreset(path, false, 0));
    EXPECT_EQ(bus.state("cam0").run.lastPreset, 0x0000);
    ASSERT_TRUE(mgr->resetCamPreset(path, false, 5));
    EXPECT_EQ(bus.state("cam0").run.lastPreset, 0x0205);

    // Arguments are checked in order, before the camera is opened.
    const uint64_t before = allTransfers();
    EXPECT_FALSE(mgr->sendPresetCmd(path, 2, 3, 10));
    EXPECT_FALSE(mgr->sendPresetCmd(path, 1, 3, 10));
    EXPECT_FALSE(mgr->sendPresetCmd(path, 1, 2, 10));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::sendPresetCmd failed - invalid preset type 2\n"
                         "Veltrion2CamMgr::sendPresetCmd failed - invalid action 3\n"
                         "Veltrion2CamMgr::sendPresetCmd failed - invalid btn num 10\n"))
        << log.text();
    EXPECT_EQ(allTransfers(), before);
}

TEST_F(ControlsOnSimBus, SavedPresetsAreAppliedBackAndResetOnesApplyNothing) {
    bus.add("cam0");
    bus.set("cam0", "control-pan", "36000");
    bus.set("cam0", "control-zoom", "250");
    bus.set("cam0", "control-brightness", "20");
    const std::string path = start();
    ASSERT_TRUE(mgr->saveCamPreset(path, false, 2));
    ASSERT_TRUE(mgr->saveCamPreset(path, true, 2));

    bus.set("cam0", "control-pan", "-72000");
    bus.set("cam0", "control-zoom", "100");
    bus.set("cam0", "control-brightness", "-10");
    ASSERT_TRUE(mgr->applyCamPreset(path, false, 2));  // pan/tilt/zoom only
    auto controls = bus.state("cam0").video.controls;
    EXPECT_EQ(controls["pan"], 36000);
    EXPECT_EQ(controls["zoom"], 250);
    EXPECT_EQ(controls["brightness"], -10);
    ASSERT_TRUE(mgr->applyCamPreset(path, true, 2));
    EXPECT_EQ(bus.state("cam0").video.controls["brightness"], 20);

    ASSERT_TRUE(mgr->resetCamPreset(path, false, 2));
    bus.set("cam0", "control-zoom", "400");
    ASSERT_TRUE(mgr->applyCamPreset(path, false, 2));
    EXPECT_EQ(bus.state("cam0").video.controls["zoom"], 400);
}

// What the sensors' temperature blocks give for the temperatures the
// simulated camera holds: readings 60, 61 and 59 against calibration
// readings 0x57, 0x56 and 0x58.
TEST_F(ControlsOnSimBus, SensorTemperaturesFollowTheRegisterReadings) {
    bus.add("cam0");
    bus.set("cam0", "sensor-temp", "41,42.5,40");
    const std::string path = start();
    float t0 = 0, t1 = 0, t2 = 0;
    ASSERT_TRUE(mgr->getSensorTempC(path, t0, t1, t2)) << log.text();
    const auto celsius = [](float reading, float calibration) {
        return (reading - (calibration - 86.588226f)) / 1.443137f;
    };
    EXPECT_FLOAT_EQ(t0, celsius(60, 0x57));
    EXPECT_FLOAT_EQ(t1, celsius(61, 0x56));
    EXPECT_FLOAT_EQ(t2, celsius(59, 0x58));
    EXPECT_NEAR(t1, 42.5f, 0.5f / 1.443137f);

    // A refused write ends the reading with its step's line.
    bus.fault("cam0", "fail-next", "b4:1");
    EXPECT_FALSE(mgr->getSensorTempC(path, t0, t1, t2));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::getSensorTempC failed to set reg 0x3126 to 0x0001\n")) << log.text();
}

}  // namespace
}  // namespace controls_test
