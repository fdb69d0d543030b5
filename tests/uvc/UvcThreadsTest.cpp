// The UVC channel's threads: abandoned property workers, removal through the
// hot-plug monitor, and request/reply exchanges of several threads on one
// camera.

#include <thread>

#include "UvcFixture.h"
#include "device/VendorRequests.h"
#include "device/uvc/ExtensionUnitControls.h"
#include "device/uvc/PropertyCall.h"

namespace veltrion::test {
namespace {

TEST_F(UvcTest, StalledPropertyCallIsAbandonedWithoutTouchingTheBuffer) {
    bus->add("cam0");
    auto device = makeDevice();
    auto& units = device->uvcManager().extensionUnitManager();
    auto handle = units.openExtensionUnit(kVeltrionExtensionUnitGuid, keyOf("cam0"));
    ASSERT_TRUE(handle);

    bus->fault("cam0", "xu-stall-ms", "600");
    uint8_t loaded = 0xEE;
    testing::internal::CaptureStdout();
    EXPECT_EQ(callExtensionUnitProperty(handle, xu::kGetSystemProgrammed, PropertyDirection::Get, &loaded, 1,
                                        std::chrono::milliseconds(150)),
              kPropertyAborted);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning: KsProperty Timeout at 150 ms, detaching the thread...\n");
    EXPECT_EQ(loaded, 0xEE);
    // The late worker finishes on its own; it never writes into loaded.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(loaded, 0xEE);

    bus->fault("cam0", "xu-stall-ms", "0");
    EXPECT_EQ(callExtensionUnitProperty(handle, xu::kGetSystemProgrammed, PropertyDirection::Get, &loaded, 1), 0);
    EXPECT_EQ(loaded, 1);
    // A size the control does not have never reaches the camera.
    uint8_t two[2] = {};
    testing::internal::CaptureStdout();
    EXPECT_LT(callExtensionUnitProperty(handle, xu::kGetSystemProgrammed, PropertyDirection::Get, two, 2), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "byte returned 1 != value size 2\n");
}

TEST_F(UvcTest, RemovedCameraGivesInvalidHandleUntilOpenedAgain) {
    bus->add("cam0");  // present before the monitor starts
    auto device = makeDevice();
    ASSERT_TRUE(device->openVeltrion2Dev(keyOf("cam0")));
    uint8_t loaded = 0;
    ASSERT_TRUE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, &loaded, 1));

    bus->replug("cam0");  // unplugged and plugged in again
    auto& units = device->uvcManager().extensionUnitManager();
    // Calls until one is refused for a dead handle, which shows the removal
    // was handled: before that, a call may also fail while the camera is
    // between its two enumerations.
    const auto handleDies = [&] {
        for (int wait = 0; wait < 200; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            units.drainRemovals();
            testing::internal::CaptureStdout();
            const bool failed = !device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, &loaded, 1);
            if (testing::internal::GetCapturedStdout().find("Invalid handle\n") != std::string::npos && failed)
                return true;
        }
        return false;
    };
    ASSERT_TRUE(handleDies());
    EXPECT_TRUE(log.says("sendUsbControlTransfer: getProperty EU_CTRL_GET_SYSTEM_PROGRAMMED failed\n"));

    ASSERT_TRUE(device->reopenVeltrion2Dev());
    EXPECT_TRUE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, &loaded, 1));

    // Pulled out during a call: that call fails, later ones find the handle dead.
    bus->fault("cam0", "xu-vanish-after", "1");
    EXPECT_FALSE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, &loaded, 1));
    EXPECT_TRUE(handleDies());
    EXPECT_FALSE(device->reopenVeltrion2Dev());  // off the bus until plugged in again
    bus->replug("cam0");
    EXPECT_TRUE(device->reopenVeltrion2Dev());
}

TEST_F(UvcTest, ExchangesOfTwoThreadsOnOneCameraKeepTheirReplies) {
    bus->add("cam0");
    const std::string key = keyOf("cam0");
    auto versionsDevice = makeDevice();
    auto flashDevice = makeDevice();
    ASSERT_TRUE(versionsDevice->openVeltrion2Dev(key));
    ASSERT_TRUE(flashDevice->openVeltrion2Dev(key));

    std::vector<uint8_t> versions(vreq::kVersionBlockSize), page(256);
    ASSERT_TRUE(versionsDevice->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 0, vreq::kQueryVersions,
                                                       versions.data(), vreq::kVersionBlockSize));
    ASSERT_TRUE(flashDevice->sendUsbControlTransfer(vreq::kTypeIn, vreq::kFlashRead, 0, 0, page.data(), 256));
    ASSERT_NE(std::vector<uint8_t>(page.begin(), page.begin() + vreq::kVersionBlockSize), versions);

    constexpr int kRounds = 150;
    int versionMismatches = 0, pageMismatches = 0;
    std::thread reader([&] {
        std::vector<uint8_t> reply(256);
        for (int round = 0; round < kRounds; ++round) {
            if (!flashDevice->sendUsbControlTransfer(vreq::kTypeIn, vreq::kFlashRead, 0, 0, reply.data(), 256) ||
                reply != page)
                ++pageMismatches;
        }
    });
    std::vector<uint8_t> reply(vreq::kVersionBlockSize);
    for (int round = 0; round < kRounds; ++round) {
        if (!versionsDevice->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 0, vreq::kQueryVersions,
                                                    reply.data(), vreq::kVersionBlockSize) ||
            reply != versions)
            ++versionMismatches;
    }
    reader.join();
    EXPECT_EQ(versionMismatches, 0);
    EXPECT_EQ(pageMismatches, 0);
}

}  // namespace
}  // namespace veltrion::test
