// Image and PTZ controls of a camera's capture source (UVCControl) on a
// simulated camera: ranges as the camera reports them, automatic modes, the
// degrees the dialog shows, and that reading writes nothing.

#include "UvcFixture.h"
#include "device/uvc/UVCControl.h"

namespace veltrion::test {
namespace {

constexpr long kBrightness = 0, kHue = 2, kColorEnable = 6, kWhiteBalance = 7;

TEST_F(UvcTest, ControlsReadTheCamerasRangesAndWriteOnlyWhenSet) {
    bus->add("cam0");
    bus->add("cam1");
    UVCControl control(0, bus->state("cam1").identity.serial);  // the serial wins over the index
    ASSERT_TRUE(control.isOpen());
    EXPECT_EQ(control.friendlyName(), "cam1");

    long value = 0, minimum = 0, maximum = 0, defaultValue = 0, step = 0;
    bool automatic = true;
    ASSERT_TRUE(control.getCameraControlProperty(kBrightness, value, automatic, minimum, maximum, defaultValue, step));
    EXPECT_EQ(minimum, -64);
    EXPECT_EQ(maximum, 64);
    EXPECT_FALSE(automatic);
    ASSERT_TRUE(control.getCameraControlProperty(kWhiteBalance, value, automatic, minimum, maximum, defaultValue,
                                                 step));
    EXPECT_TRUE(automatic);
    long pan = 0;
    ASSERT_TRUE(control.getPtzProperty(UVCControl::PtzAxis::Pan, pan, minimum, maximum, defaultValue, step));
    EXPECT_EQ(minimum, -180);  // degrees, from arc seconds
    EXPECT_EQ(step, 1);
    EXPECT_EQ(stat("cam1", "control-writes"), 0u);

    // A manual white balance turns the automatic mode off first.
    ASSERT_TRUE(control.setCameraControlProperty(kWhiteBalance, false, 5000));
    ASSERT_TRUE(control.getCameraControlProperty(kWhiteBalance, value, automatic, minimum, maximum, defaultValue,
                                                 step));
    EXPECT_FALSE(automatic);
    EXPECT_EQ(value, 5000);
    ASSERT_TRUE(control.setPtzProperty(UVCControl::PtzAxis::Pan, -30));
    EXPECT_EQ(bus->state("cam1").video.controls.at("pan"), -30 * 3600);

    // Automatic only where the control has it; colour enable is not offered.
    EXPECT_FALSE(control.setCameraControlProperty(kBrightness, true, 0));
    EXPECT_TRUE(control.setCameraControlProperty(kHue, true, 0));
    EXPECT_FALSE(control.getCameraControlProperty(kColorEnable, value, automatic, minimum, maximum, defaultValue,
                                                  step));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(control.setCameraControlProperty(10, false, 0));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "setCameraControlProperty: Invalid property type 10\n");

    UVCControl byIndex(1, "");
    EXPECT_EQ(byIndex.friendlyName(), "cam1");
    UVCControl none(5, "");
    EXPECT_FALSE(none.isOpen());
}

}  // namespace
}  // namespace veltrion::test
