#include <gtest/gtest.h>

#include "device/VendorRequests.h"
#include "device/WinDevice.h"
#include "support/CapturingLogger.h"
#include "support/ScriptedUsbPort.h"

using namespace veltrion;

namespace {

struct VendorChannel : ::testing::Test {
    std::shared_ptr<ScriptedUsbState> state = std::make_shared<ScriptedUsbState>();
    CapturingLogger logger;
    WinDevice device{std::make_unique<ScriptedUsbPort>(state)};

    VendorChannel() { device.setLogger(&logger); }

    void addDevice(const std::string& path, uint16_t vid, uint16_t pid) { state->devices.push_back({path, vid, pid}); }

    static std::vector<uint8_t> stringDescriptor(const std::string& text) {
        std::vector<uint8_t> bytes{static_cast<uint8_t>(2 + 2 * text.size()), vreq::kDescriptorString};
        for (char c : text) {
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(0);
        }
        return bytes;
    }
};

}  // namespace

TEST_F(VendorChannel, StringAfterTagIsCaseInsensitiveAndBounded) {
    std::string out;
    EXPECT_TRUE(WinDevice::getStringAfter(4, "usb:1-2:VID_04B4&PID_00F3:", "vid_", out, logger));
    EXPECT_EQ(out, "04b4");
    EXPECT_FALSE(WinDevice::getStringAfter(4, "usb:1-2:vid_04b", "vid_", out, logger));
    EXPECT_EQ(logger.text(), "getStringAfter: no \"vid_\" id in matching device usb:1-2:vid_04b\n");
    EXPECT_FALSE(WinDevice::getStringAfter(4, "usb:1-2", "pid_", out, logger));
}

TEST_F(VendorChannel, BrokenControllersAreFoundByTheirPathTags) {
    addDevice("usb:1-1:VID_04B4&PID_00F3:", 0x04b4, 0x00f3);
    addDevice("usb:1-2:vid_04b4&pid_00f4:", 0x04b4, 0x00f4);
    addDevice("usb:1-3:vid_3a7c&pid_0003:ABCDEF012345", 0x3a7c, 0x0003);
    addDevice("usb:1-4:vid_04b", 0x04b4, 0x00f3);  // ends three characters after the tag
    std::vector<std::string> paths{"stale"};
    EXPECT_TRUE(device.getBrokenVeltrion2DevPaths(paths));
    EXPECT_EQ(paths, std::vector<std::string>{"usb:1-1:VID_04B4&PID_00F3:"});
}

TEST_F(VendorChannel, CameraListHoldsOnlyIdentitiesOfTheLine) {
    addDevice("usb:1-1:vid_1d6b&pid_0002:", 0x1d6b, 0x0002);
    addDevice("usb:1-3:vid_3a7c&pid_c002:ABCDEF012345", 0x3a7c, 0xc002);
    std::vector<std::string> paths;
    EXPECT_TRUE(device.getVeltrion2DevPaths(paths));
    EXPECT_EQ(paths, std::vector<std::string>{"usb:1-3:vid_3a7c&pid_c002:ABCDEF012345"});
}

TEST_F(VendorChannel, NoCameraIsAQuietFailureAndABrokenListingIsLogged) {
    std::vector<std::string> paths{"stale"};
    EXPECT_FALSE(device.getVeltrion2DevPaths(paths));
    EXPECT_TRUE(paths.empty());
    EXPECT_EQ(logger.text(), "");

    state->listResult = kUsbErrorAccess;
    EXPECT_FALSE(device.getBrokenVeltrion2DevPaths(paths));
    EXPECT_TRUE(logger.contains("getPathsByGUID: invalid handled returned from SetupDiGetClassDevs - hr = -3"));
    EXPECT_TRUE(logger.contains("getBrokenVeltrion2DevPaths: failed to get list of generic winusb devices\n"));
}

TEST_F(VendorChannel, StringDescriptorMustFitTheCallersBuffer) {
    state->replies[{vreq::kStdGetDescriptor, vreq::kDescriptorString << 8 | 3}] = stringDescriptor("ABCDEFGHIJKLMN");
    ASSERT_TRUE(device.openVeltrion2Dev("usb:1-1:vid_3a7c&pid_0003:X"));
    char buffer[32];
    EXPECT_TRUE(device.getStringDescriptor(3, vreq::kLangEnglishUs, buffer, 15));
    EXPECT_STREQ(buffer, "ABCDEFGHIJKLMN");
    EXPECT_FALSE(device.getStringDescriptor(3, vreq::kLangEnglishUs, buffer, 14));
    EXPECT_TRUE(logger.contains("buffer size 14 less than string size 14 \n"));
    EXPECT_FALSE(device.getStringDescriptor(3, vreq::kLangEnglishUs, buffer, 0));

    state->replies[{vreq::kStdGetDescriptor, vreq::kDescriptorString << 8 | 4}] = {1, vreq::kDescriptorString};
    EXPECT_FALSE(device.getStringDescriptor(4, vreq::kLangEnglishUs, buffer, 32));
    EXPECT_TRUE(logger.contains("invalid string size 1 \n"));

    // A bLength larger than what arrived is cut to the reply.
    state->replies[{vreq::kStdGetDescriptor, vreq::kDescriptorString << 8 | 5}] = {200, vreq::kDescriptorString, 'A', 0};
    EXPECT_TRUE(device.getStringDescriptor(5, vreq::kLangEnglishUs, buffer, 32));
    EXPECT_STREQ(buffer, "A");
}

TEST_F(VendorChannel, DeviceDescriptorNeedsAllEighteenBytes) {
    ASSERT_TRUE(device.openVeltrion2Dev("usb:1-1:vid_3a7c&pid_0003:X"));
    state->replies[{vreq::kStdGetDescriptor, vreq::kDescriptorDevice << 8}] = std::vector<uint8_t>(12, 0);
    UsbDeviceDescriptor descriptor;
    EXPECT_FALSE(device.getDeviceDescriptor(descriptor));
    EXPECT_TRUE(logger.contains("getDeviceDescriptor: getDeviceDescritor failed - hr = 0, lengthReceived 12\n"));
    state->replies[{vreq::kStdGetDescriptor, vreq::kDescriptorDevice << 8}] = {
        18, 1, 0x00, 0x03, 0xEF, 2, 1, 9, 0x7c, 0x3a, 0x03, 0x00, 0x01, 0x00, 1, 2, 3, 1};
    ASSERT_TRUE(device.getDeviceDescriptor(descriptor));
    EXPECT_EQ(descriptor.idVendor, 0x3a7c);
    EXPECT_EQ(descriptor.idProduct, 0x0003);
    EXPECT_EQ(descriptor.bcdUSB, 0x0300);
    EXPECT_EQ(descriptor.iSerialNumber, 3);
}

TEST_F(VendorChannel, TransfersFailWhenClosedStalledOrShort) {
    uint8_t byte = 0;
    EXPECT_FALSE(device.sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, &byte, 1));
    EXPECT_TRUE(logger.contains("sendUsbControlTransfer: no device opened yet\n"));
    ASSERT_TRUE(device.openVeltrion2Dev("usb:1-1:vid_3a7c&pid_0003:X"));
    EXPECT_FALSE(device.sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, &byte, 1));
    EXPECT_TRUE(logger.contains("WinUsb_ControlTransfer() failed at -9\n"));
    state->replies[{vreq::kQuery, 0}] = {1, 2};
    uint8_t block[4] = {};
    EXPECT_FALSE(device.sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 0, 0, block, sizeof block));
    EXPECT_TRUE(device.sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 0, 0, block, 2));
}

TEST_F(VendorChannel, ReopenNeedsAnOpenDeviceAndAFailedOpenForgetsThePath) {
    EXPECT_FALSE(device.reopenVeltrion2Dev());
    EXPECT_TRUE(logger.contains("reopenVeltrion2Dev: no device opened before"));

    ASSERT_TRUE(device.openVeltrion2Dev("usb:1-1:vid_3a7c&pid_0003:X"));
    EXPECT_TRUE(device.reopenVeltrion2Dev());
    EXPECT_TRUE(logger.contains("reopenVeltrion2Dev: reopenning dev usb:1-1:vid_3a7c&pid_0003:X\n"));
    device.closeVeltrion2Dev();
    EXPECT_FALSE(device.reopenVeltrion2Dev());  // closed, although a path was opened before

    state->openResult = kUsbErrorNoDevice;
    EXPECT_FALSE(device.openVeltrion2Dev("usb:1-1:vid_3a7c&pid_0003:X"));
    EXPECT_TRUE(logger.contains("openVeltrion2Dev: failed to create file for dev path usb:1-1:vid_3a7c&pid_0003:X - hr = -4\n"));
    EXPECT_FALSE(device.isOpen());
    EXPECT_TRUE(device.devicePath().empty());
    state->openResult = 0;
    EXPECT_FALSE(device.reopenVeltrion2Dev());
    EXPECT_FALSE(device.openVeltrion2Dev(""));
    EXPECT_TRUE(logger.contains("openVeltrion2Dev: invalid devPath - empty string\n"));
}
