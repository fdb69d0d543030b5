// The UVC channel's device object on simulated cameras: camera keys, the
// mapping of vendor requests onto the extension unit, the source cache, and
// the manager running on the channel.

#include <chrono>
#include <fstream>
#include <iterator>

#include "SimUsbPort.h"
#include "UvcFixture.h"
#include "device/VendorRequests.h"
#include "device/WinDevice.h"
#include "format/FlashMap.h"
#include "manager/Veltrion2CamMgr.h"

namespace veltrion::test {
namespace {

std::vector<uint8_t> flashFileBytes(const std::filesystem::path& camera, uint32_t address, uint32_t length) {
    std::ifstream file(camera / "flash.bin", std::ios::binary);
    file.seekg(address);
    std::vector<uint8_t> bytes(length);
    file.read(reinterpret_cast<char*>(bytes.data()), length);
    return bytes;
}

TEST_F(UvcTest, KeysNameCamerasByFriendlyNameAndSerialAndSkipOtherProducts) {
    bus->add("cam0");
    bus->add("cam1", 0xc002, "", false);
    bus->set("cam0", "friendly-name", "Veltrion Cam");
    bus->set("cam1", "friendly-name", "Veltrion Cam");
    bus->add("dead", 0x0003, "", true);                      // boot mode: no video function
    bus->add("wide", 0x4003, "", false);                     // a desktop-only product
    bus->add("other", camsim::AddOptions{0x1234, "", false, 0x046d});  // another maker's camera

    testing::internal::CaptureStdout();
    std::vector<std::string> keys;
    ASSERT_TRUE(makeDevice()->getVeltrion2DevPaths(keys));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(keys, (std::vector<std::string>{keyOf("cam0"), keyOf("cam1")}));
    EXPECT_NE(keys[0], keys[1]);
    EXPECT_EQ(printed, "Vemto vendor id 3a7c with invalid pid 4003\n");  // nothing about the other maker

    ASSERT_TRUE(makeDevice(AcceptedProducts::Desktop)->getVeltrion2DevPaths(keys));
    EXPECT_EQ(keys.size(), 3u);
    std::vector<std::string> broken;
    EXPECT_FALSE(makeDevice()->getBrokenVeltrion2DevPaths(broken));
    EXPECT_TRUE(broken.empty());
}

TEST_F(UvcTest, VendorRequestsTravelThroughTheExtensionUnit) {
    bus->add("cam0");
    auto device = makeDevice();
    ASSERT_TRUE(device->openVeltrion2Dev(keyOf("cam0")));

    // The same version block as the vendor channel reads.
    WinDevice vendor(std::make_unique<camsim::SimUsbPort>(dir));
    ASSERT_TRUE(vendor.openVeltrion2Dev(bus->find("cam0").path));
    std::vector<uint8_t> overUvc(vreq::kVersionBlockSize), overUsb(vreq::kVersionBlockSize);
    ASSERT_TRUE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 0, vreq::kQueryVersions, overUvc.data(),
                                               vreq::kVersionBlockSize));
    ASSERT_TRUE(vendor.sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 0, vreq::kQueryVersions, overUsb.data(),
                                              vreq::kVersionBlockSize));
    vendor.closeVeltrion2Dev();
    EXPECT_EQ(overUvc, overUsb);

    // A whole page (256 bytes) is the most one request carries; more never reaches the camera.
    std::vector<uint8_t> page(300, 0xEE);
    ASSERT_TRUE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kFlashRead, 0x0001, 0x0000, page.data(), 256));
    EXPECT_EQ(std::vector<uint8_t>(page.begin(), page.begin() + 256),
              flashFileBytes(dir / "cam0", 0x10000, 256));
    const uint64_t callsBefore = stat("cam0", "xu-calls");
    EXPECT_FALSE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kFlashRead, 0x0001, 0, page.data(), 300));
    EXPECT_TRUE(log.says("sendUsbControlTransfer: maximum supported length = 256, requested data_size = 300\n"));
    page[0] = 0;
    EXPECT_TRUE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kSpiModeEnter, 0, 1, page.data(), 1));
    EXPECT_EQ(page[0], 1);
    EXPECT_FALSE(device->sendUsbControlTransfer(vreq::kBootTypeOut, vreq::kBootLoaderDownload, 0, 0, page.data(), 1));
    EXPECT_TRUE(log.says("sendUsbControlTransfer: invalid request_type. Only vendor command is supported\n"));
    EXPECT_EQ(stat("cam0", "xu-calls"), callsBefore);

    // A page written through the 263-byte control is in flash afterwards.
    std::vector<uint8_t> erase(1);
    ASSERT_TRUE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kFlashErase4K, 0x007F, 0xF000, erase.data(), 1));
    std::vector<uint8_t> data(256);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    uint8_t status = 1;
    for (int poll = 0; poll < 1000 && (status & 1); ++poll)
        ASSERT_TRUE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kFlashStatusSync, 0, 0, &status, 1));
    ASSERT_TRUE(device->sendUsbControlTransfer(vreq::kTypeOut, vreq::kFlashProgram, 0x007F, 0xF000, data.data(), 256));
    device->closeVeltrion2Dev();
    EXPECT_EQ(flashFileBytes(dir / "cam0", 0x7FF000, 256), data);
}

TEST_F(UvcTest, DescriptorsAreMadeFromTheSourceIdentity) {
    bus->add("cam0", 0x0003, "ABCDEF012345", false);
    auto device = makeDevice();
    UsbDeviceDescriptor descriptor;
    char serial[32];
    EXPECT_FALSE(device->getDeviceDescriptor(descriptor));
    EXPECT_TRUE(log.says("getDeviceDescriptor: no device opened\n"));
    ASSERT_TRUE(device->openVeltrion2Dev(keyOf("cam0")));
    ASSERT_TRUE(device->getDeviceDescriptor(descriptor));
    EXPECT_EQ(descriptor.idVendor, 0x3a7c);
    EXPECT_EQ(descriptor.idProduct, 0x0003);
    EXPECT_EQ(descriptor.bcdUSB, 0x0000);
    EXPECT_EQ(descriptor.iSerialNumber, 3);
    EXPECT_FALSE(device->getStringDescriptor(3, vreq::kLangEnglishUs, serial, 12));
    EXPECT_TRUE(log.says("getStringDescriptor: buffer size too small\n"));
    EXPECT_FALSE(device->getStringDescriptor(2, vreq::kLangEnglishUs, serial, sizeof serial));
    EXPECT_TRUE(log.says("getStringDescriptor: invalid index 0x2\n"));
    ASSERT_TRUE(device->getStringDescriptor(3, vreq::kLangEnglishUs, serial, 13));
    EXPECT_STREQ(serial, "ABCDEF012345");
}

TEST_F(UvcTest, ChecksumQueryGivesTheCameraTimeBeforeTheReplyIsRead) {
    bus->add("cam0");
    auto device = makeDevice();
    ASSERT_TRUE(device->openVeltrion2Dev(keyOf("cam0")));
    std::vector<uint8_t> reply(8);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kQuery, 3, vreq::kQueryComponentChecksum,
                                               reply.data(), static_cast<uint16_t>(reply.size())));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3300));
}

TEST_F(UvcTest, OneSourcePerCameraUntilItLeavesTheBus) {
    bus->add("cam0");
    auto device = makeDevice();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(device->openVeltrion2Dev(keyOf("cam0")));
    device->closeVeltrion2Dev();
    ASSERT_TRUE(device->openVeltrion2Dev(keyOf("cam0")));
    const std::string reused = testing::internal::GetCapturedStdout();
    EXPECT_EQ(reused, "creating new MF source for dev " + keyOf("cam0") + "\n");

    // A reset takes the camera off the bus: the source goes with it.
    uint8_t ignored = 0;
    ASSERT_TRUE(device->sendUsbControlTransfer(vreq::kTypeIn, vreq::kUsbReset, 0, 0, &ignored, 1));
    device->releaseVeltrion2Dev();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(device->reopenVeltrion2Dev());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "creating new MF source for dev " + keyOf("cam0") + "\n");
    EXPECT_TRUE(log.says("reopenVeltrion2Dev: reopenning dev " + keyOf("cam0") + "\n"));
}

TEST_F(UvcTest, ManagerOnTheUvcChannelReadsWhatTheVendorChannelReads) {
    bus->add("cam0");
    Veltrion2CamMgr uvc(false);
    Veltrion2CamMgr usb(true);
    std::vector<std::string> keys, paths;
    ASSERT_TRUE(uvc.getCameraList(keys));
    ASSERT_TRUE(usb.getCameraList(paths));
    CameraInfo overUvc, overUsb;
    ASSERT_TRUE(uvc.getVeltrion2Info(overUvc, keys[0]));
    ASSERT_TRUE(usb.getVeltrion2Info(overUsb, paths[0]));
    EXPECT_EQ(overUvc.serialNumber, overUsb.serialNumber);
    EXPECT_EQ(overUvc.fx3Version, overUsb.fx3Version);
    EXPECT_EQ(overUvc.fpgaVersion, overUsb.fpgaVersion);
    EXPECT_EQ(overUvc.ispVersion, overUsb.ispVersion);
    EXPECT_EQ(overUvc.audioVersion, overUsb.audioVersion);
    EXPECT_EQ(overUvc.usbBusType, 0x0000);
    EXPECT_EQ(uvc.getNumBrokenCameras(), 0);

    // A camera whose firmware does not answer "system loaded" is not ready on this channel.
    bus->fault("cam0", "refuse-df", "1");
    ASSERT_TRUE(uvc.getVeltrion2Info(overUvc, keys[0]));
    EXPECT_FALSE(overUvc.systemReady);
}

}  // namespace
}  // namespace veltrion::test
