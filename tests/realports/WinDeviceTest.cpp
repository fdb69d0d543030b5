// The vendor channel over the real libusb port: the camera and boot-loader
// lists, open, descriptors, reopen across a reset, and the failure messages
// with the libusb error codes in them.

#include "BridgeFixture.h"
#include "device/WinDevice.h"
#include "device/usb/LibusbPort.h"
#include "support/CapturingLogger.h"

namespace veltrion::realports::test {
namespace {

constexpr uint8_t kUnknownRequest = 0x01;
constexpr uint16_t kStringBufferSize = 256;

class WinDeviceOverBridge : public BridgedBusTest {
protected:
    // Created after the bridge, so its port sees the bridged bus only.
    WinDevice& channel() {
        if (!device_) {
            device_ = std::make_unique<WinDevice>(std::make_unique<LibusbPort>());
            device_->setLogger(&log);
        }
        return *device_;
    }
    void TearDown() override {
        device_.reset();  // its libusb context goes before the testbed
        BridgedBusTest::TearDown();
    }

    CapturingLogger log{kLogDetail};

private:
    std::unique_ptr<WinDevice> device_;
};

TEST_F(WinDeviceOverBridge, CameraAndBootLoaderListsByTheirTags) {
    bus->add("cam0", kV3VideoAudio, kSerial0, false);
    bus->add("cam1", kV2sVideoAudio, kSerial1, false);
    bus->add("cam2", kV3VideoAudio, "FEDCBA987654", true);
    startBridge();
    std::vector<std::string> paths{"stale"};
    ASSERT_TRUE(channel().getVeltrion2DevPaths(paths));
    EXPECT_EQ(paths, (std::vector<std::string>{device("cam0").usbPath, device("cam1").usbPath}));
    EXPECT_TRUE(log.contains("getPathsByGUID: 1: DevicePath = " + device("cam1").usbPath + "\n"));

    ASSERT_TRUE(channel().getBrokenVeltrion2DevPaths(paths));
    EXPECT_EQ(paths, std::vector<std::string>{"usb:1-3:vid_04b4&pid_00f3:"});
}

TEST_F(WinDeviceOverBridge, NoCameraIsAnEmptyListWithoutAnError) {
    startBridge();
    log.setThreshold(kLogError);
    std::vector<std::string> paths{"stale"};
    EXPECT_FALSE(channel().getVeltrion2DevPaths(paths));
    EXPECT_TRUE(paths.empty());
    // The root hub is a USB device, but no boot loader.
    EXPECT_FALSE(channel().getBrokenVeltrion2DevPaths(paths));
    EXPECT_TRUE(paths.empty());
    EXPECT_EQ(log.text(), "");
}

TEST_F(WinDeviceOverBridge, DescriptorsAndReopenAcrossAReset) {
    startWithTwoCameras();
    WinDevice& win = channel();
    ASSERT_TRUE(win.openVeltrion2Dev(device("cam0").usbPath)) << log.text();
    UsbDeviceDescriptor descriptor;
    ASSERT_TRUE(win.getDeviceDescriptor(descriptor));
    EXPECT_EQ(descriptor.idVendor, 0x3a7c);
    EXPECT_EQ(descriptor.idProduct, kV3VideoAudio);
    EXPECT_EQ(descriptor.bcdUSB, 0x0300);
    char serial[kStringBufferSize];
    ASSERT_TRUE(win.getStringDescriptor(descriptor.iSerialNumber, vreq::kLangEnglishUs, serial, sizeof serial));
    EXPECT_EQ(std::string(serial), kSerial0);
    // Twelve characters and the terminating zero: 13 bytes fit, 12 do not.
    EXPECT_TRUE(win.getStringDescriptor(descriptor.iSerialNumber, vreq::kLangEnglishUs, serial, 13));
    EXPECT_FALSE(win.getStringDescriptor(descriptor.iSerialNumber, vreq::kLangEnglishUs, serial, 12));

    uint8_t byte = 0;
    ASSERT_TRUE(win.sendUsbControlTransfer(vreq::kTypeIn, vreq::kUsbReset, 0, 0, &byte, 1));
    EXPECT_FALSE(win.sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, &byte, 1));
    // The path names the port, which the camera comes back on.
    ASSERT_TRUE(win.reopenVeltrion2Dev()) << log.text();
    EXPECT_TRUE(log.contains("reopenVeltrion2Dev: reopenning dev " + device("cam0").usbPath + "\n"));
    byte = 0;
    ASSERT_TRUE(win.sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, &byte, 1));
    EXPECT_EQ(byte, 1);

    win.closeVeltrion2Dev();
    EXPECT_FALSE(win.reopenVeltrion2Dev());
}

TEST_F(WinDeviceOverBridge, FailuresCarryTheLibusbErrorCode) {
    startWithTwoCameras();
    WinDevice& win = channel();
    ASSERT_TRUE(win.openVeltrion2Dev(device("cam1").usbPath));
    uint8_t reply[8] = {};
    EXPECT_FALSE(win.sendUsbControlTransfer(vreq::kTypeIn, kUnknownRequest, 0, 0, reply, 1));
    EXPECT_TRUE(log.contains(
        "sendUsbControlTransfer:  sendUsbControlTransfer failed - WinUsb_ControlTransfer() failed at -9\n"))
        << log.text();

    // One byte where eight were asked for is no success: the rest would be stale.
    log.clear();
    EXPECT_FALSE(win.sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, reply, sizeof reply));
    EXPECT_TRUE(log.contains("short transfer of 1 bytes, 8 expected")) << log.text();

    log.clear();
    const std::string path = device("cam1").usbPath;
    bus->remove("cam1");
    EXPECT_FALSE(win.sendUsbControlTransfer(vreq::kTypeIn, vreq::kSystemLoaded, 0, 0, reply, 1));
    EXPECT_TRUE(log.contains(
        "sendUsbControlTransfer:  sendUsbControlTransfer failed - WinUsb_ControlTransfer() failed at -4\n"))
        << log.text();
    UsbDeviceDescriptor descriptor;
    EXPECT_FALSE(win.getDeviceDescriptor(descriptor));
    EXPECT_TRUE(log.contains("getDeviceDescriptor: getDeviceDescritor failed - hr = -4, lengthReceived 0\n"));

    log.clear();
    EXPECT_FALSE(win.openVeltrion2Dev(path));
    EXPECT_EQ(log.text(), "openVeltrion2Dev: failed to create file for dev path " + path + " - hr = -4\n");
    EXPECT_FALSE(win.isOpen());
    EXPECT_FALSE(win.reopenVeltrion2Dev());
}

}  // namespace
}  // namespace veltrion::realports::test
