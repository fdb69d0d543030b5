// The real libusb port against simulated cameras on the bridged bus:
// enumeration, opening by path, descriptors, vendor transfers both ways,
// stalls, failures, short reads, resets, power loss and the boot loader.

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "BridgeFixture.h"
#include "SimUsbPort.h"
#include "device/usb/LibusbPort.h"
#include "support/TempDir.h"

namespace veltrion::realports::test {
namespace {

constexpr uint32_t kScratchAddress = 0x300000;  // outside every firmware component
constexpr uint16_t kPageSize = 256;
constexpr uint16_t kSpiModeIndexV3 = 1;
constexpr uint8_t kUnknownRequest = 0x01;
const std::string kRootHubPath = "usb:1-0:vid_1d6b&pid_0003:";

uint16_t high(uint32_t address) { return static_cast<uint16_t>(address >> 16); }
uint16_t low(uint32_t address) { return static_cast<uint16_t>(address & 0xFFFF); }

std::vector<std::string> pathsOf(const std::vector<UsbDeviceEntry>& entries) {
    std::vector<std::string> paths;
    for (const auto& entry : entries) paths.push_back(entry.path);
    return paths;
}

bool listed(LibusbPort& usb, const std::string& path) {
    std::vector<UsbDeviceEntry> entries;
    usb.listDevices(entries);
    const auto paths = pathsOf(entries);
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

class LibusbPortOverBridge : public BridgedBusTest {
protected:
    std::unique_ptr<UsbHandle> openPath(UsbPort& on, const std::string& path) {
        std::unique_ptr<UsbHandle> handle;
        EXPECT_EQ(on.open(path, handle), 0) << path;
        return handle;
    }
    static std::vector<uint8_t> descriptor(UsbHandle& handle, uint8_t type, uint8_t index, uint16_t language) {
        std::vector<uint8_t> reply;
        in(handle, vreq::kStdGetDescriptor, static_cast<uint16_t>(type << 8 | index), language, reply,
           vreq::kStringDescriptorMax, vreq::kStdTypeIn);
        return reply;
    }
};

TEST_F(LibusbPortOverBridge, ListsEveryDeviceByPortWithTheCameraSerialsOnly) {
    bus->add("cam0", kV3VideoAudio, kSerial0, false);
    bus->add("cam1", kV2sVideoAudio, kSerial1, false);
    bus->add("cam2", kV3VideoAudio, "FEDCBA987654", true);  // nothing bootable: the controller's boot loader
    startBridge();
    LibusbPort usb;
    ASSERT_TRUE(usb.isAvailable());
    std::vector<UsbDeviceEntry> entries;
    ASSERT_EQ(usb.listDevices(entries), 0);
    EXPECT_EQ(pathsOf(entries), (std::vector<std::string>{kRootHubPath, "usb:1-1:vid_3a7c&pid_0003:" + kSerial0,
                                                          "usb:1-2:vid_3a7c&pid_c002:" + kSerial1,
                                                          "usb:1-3:vid_04b4&pid_00f3:"}));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[2].vendorId, 0x3a7c);
    EXPECT_EQ(entries[2].productId, kV2sVideoAudio);
    EXPECT_EQ(entries[3].vendorId, 0x04b4);
    EXPECT_EQ(entries[3].productId, 0x00f3);
    // The bridge's own idea of the paths is the port's.
    EXPECT_EQ(device("cam1").usbPath, entries[2].path);
    EXPECT_EQ(device("cam2").usbPath, entries[3].path);

    // A camera plugged in later takes the next free port.
    bus->add("cam3", kV2sVideoAudio, "AAAABBBBCCCC", false);
    bridge->sync();
    EXPECT_TRUE(listed(usb, "usb:1-4:vid_3a7c&pid_c002:AAAABBBBCCCC"));
}

TEST_F(LibusbPortOverBridge, EmptyBusListsOnlyTheRootHub) {
    startBridge();
    LibusbPort usb;
    std::vector<UsbDeviceEntry> entries;
    ASSERT_EQ(usb.listDevices(entries), 0);
    EXPECT_EQ(pathsOf(entries), std::vector<std::string>{kRootHubPath});
}

TEST_F(LibusbPortOverBridge, DescriptorsAreWhatTheCameraSends) {
    startWithTwoCameras();
    LibusbPort usb;
    camsim::SimUsbPort& simPort = *port;
    for (const std::string name : {"cam0", "cam1"}) {
        SCOPED_TRACE(name);
        auto real = openPath(usb, device(name).usbPath);
        auto sim = openPath(simPort, device(name).simPath);
        ASSERT_TRUE(real && sim);
        const auto deviceDescriptor = descriptor(*real, vreq::kDescriptorDevice, 0, 0);
        EXPECT_EQ(deviceDescriptor.size(), vreq::kDeviceDescriptorSize);
        EXPECT_EQ(deviceDescriptor, descriptor(*sim, vreq::kDescriptorDevice, 0, 0));
        for (uint8_t index = 0; index <= 3; ++index) {
            const auto text = descriptor(*real, vreq::kDescriptorString, index, vreq::kLangEnglishUs);
            EXPECT_FALSE(text.empty()) << int(index);
            EXPECT_EQ(text, descriptor(*sim, vreq::kDescriptorString, index, vreq::kLangEnglishUs)) << int(index);
        }
    }
}

TEST_F(LibusbPortOverBridge, VendorTransfersBothWays) {
    startWithTwoCameras();
    LibusbPort usb;
    auto handle = openPath(usb, device("cam0").usbPath);
    ASSERT_TRUE(handle);
    std::vector<uint8_t> reply;
    ASSERT_EQ(in(*handle, vreq::kSpiModeEnter, 0, kSpiModeIndexV3, reply, 1), 1);
    ASSERT_EQ(in(*handle, vreq::kFlashErase4K, high(kScratchAddress), low(kScratchAddress), reply, 1), 1);
    std::vector<uint8_t> page(kPageSize);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 7 + 3);
    EXPECT_EQ(out(*handle, vreq::kFlashProgram, high(kScratchAddress), low(kScratchAddress), page), kPageSize);
    EXPECT_EQ(in(*handle, vreq::kFlashRead, high(kScratchAddress), low(kScratchAddress), reply, kPageSize),
              kPageSize);
    EXPECT_EQ(reply, page);
    EXPECT_EQ(bus->readFlash("cam0", kScratchAddress, kPageSize), page);

    // The version block arrives whole and equal to the simulator's own answer.
    camsim::SimUsbPort& simPort = *port;
    auto sim = openPath(simPort, device("cam0").simPath);
    std::vector<uint8_t> viaSim;
    ASSERT_EQ(in(*handle, vreq::kQuery, 0, vreq::kQueryVersions, reply, vreq::kVersionBlockSize),
              vreq::kVersionBlockSize);
    ASSERT_EQ(in(*sim, vreq::kQuery, 0, vreq::kQueryVersions, viaSim, vreq::kVersionBlockSize),
              vreq::kVersionBlockSize);
    EXPECT_EQ(reply, viaSim);
}

TEST_F(LibusbPortOverBridge, StallsFailuresAndShortReadsAsLibusbReportsThem) {
    startWithTwoCameras();
    LibusbPort usb;
    auto handle = openPath(usb, device("cam1").usbPath);
    ASSERT_TRUE(handle);
    std::vector<uint8_t> reply;
    EXPECT_EQ(in(*handle, kUnknownRequest, 0, 0, reply, 4), kUsbErrorPipe);
    // A stall ends one transfer, not the device.
    EXPECT_EQ(systemLoaded(*handle), 1);

    bus->fault("cam1", "fail-next", "df:1");
    EXPECT_EQ(in(*handle, vreq::kSystemLoaded, 0, 0, reply, 1), kUsbErrorIo);
    EXPECT_EQ(systemLoaded(*handle), 1);

    // A reply shorter than asked for arrives short; the count says so.
    EXPECT_EQ(in(*handle, vreq::kSystemLoaded, 0, 0, reply, 8), 1);
    EXPECT_EQ(reply, std::vector<uint8_t>{1});
}

TEST_F(LibusbPortOverBridge, ResetLeavesTheBusAndComesBackOnTheSamePort) {
    startWithTwoCameras();
    LibusbPort usb;
    const BridgedDevice before = device("cam0");
    const BridgedDevice other = device("cam1");
    auto handle = openPath(usb, before.usbPath);
    ASSERT_TRUE(handle);
    EXPECT_EQ(reset(*handle), 1);
    // The handle belonged to the enumeration that ended.
    EXPECT_EQ(systemLoaded(*handle), kUsbErrorNoDevice);
    handle.reset();

    const BridgedDevice after = device("cam0");
    EXPECT_EQ(after.usbPath, before.usbPath);
    EXPECT_EQ(after.sysName, before.sysName);
    EXPECT_NE(after.deviceNumber, before.deviceNumber);
    EXPECT_TRUE(listed(usb, before.usbPath));
    auto again = openPath(usb, before.usbPath);
    ASSERT_TRUE(again);
    EXPECT_EQ(systemLoaded(*again), 1);
    EXPECT_EQ(bus->stats("cam0").at("resets"), 1u);
    // The other camera was not disturbed.
    EXPECT_EQ(device("cam1").deviceNumber, other.deviceNumber);
}

TEST_F(LibusbPortOverBridge, ReEnumerationTakesTheCamerasTime) {
    startWithTwoCameras();
    camera("cam0")->update([](camsim::CameraState& state) { state.timing.reenumerationMs = 200; });
    LibusbPort usb;
    const std::string path = device("cam0").usbPath;
    auto handle = openPath(usb, path);
    ASSERT_TRUE(handle);
    ASSERT_EQ(reset(*handle), 1);
    handle.reset();
    EXPECT_FALSE(listed(usb, path));
    std::unique_ptr<UsbHandle> reopened;
    EXPECT_EQ(usb.open(path, reopened), kUsbErrorNoDevice);
    EXPECT_TRUE(eventually([&] { return listed(usb, path); }));
    reopened = openPath(usb, path);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(systemLoaded(*reopened), 1);
}

TEST_F(LibusbPortOverBridge, VanishedCameraIsNoDevice) {
    startWithTwoCameras();
    LibusbPort usb;
    const std::string path = device("cam1").usbPath;
    auto handle = openPath(usb, path);
    ASSERT_TRUE(handle);
    bus->remove("cam1");
    std::vector<uint8_t> reply;
    EXPECT_EQ(in(*handle, vreq::kQuery, 0, vreq::kQueryUsbType, reply, 1), kUsbErrorNoDevice);
    EXPECT_FALSE(listed(usb, path));
    std::unique_ptr<UsbHandle> reopened;
    EXPECT_EQ(usb.open(path, reopened), kUsbErrorNoDevice);
    EXPECT_TRUE(listed(usb, device("cam0").usbPath));
}

TEST_F(LibusbPortOverBridge, CameraSwappedOntoThePortIsRefusedUnderTheOldPath) {
    startWithTwoCameras();
    LibusbPort usb;
    const BridgedDevice before = device("cam0");
    bus->remove("cam0");
    bridge->sync();
    bus->add("cam0", kV3VideoAudio, "FEDCBA987654", false);
    bridge->sync();
    const BridgedDevice after = device("cam0");
    ASSERT_EQ(after.sysName, before.sysName);  // the same port
    std::unique_ptr<UsbHandle> handle;
    EXPECT_EQ(usb.open(before.usbPath, handle), kUsbErrorOtherSerial);
    EXPECT_FALSE(handle);
    EXPECT_TRUE(openPath(usb, after.usbPath));
    // A path without a serial (as a boot loader's) takes whatever camera is there.
    EXPECT_TRUE(openPath(usb, "usb:" + after.sysName + ":vid_3a7c&pid_0003:"));
}

TEST(LibusbPortWriterLock, OneLockFilePerBusAndPortPath) {
    TempDir runtime("runtime");
    const char* callers = std::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> saved = callers ? std::optional<std::string>(callers) : std::nullopt;
    ::setenv("XDG_RUNTIME_DIR", runtime.str().c_str(), 1);
    LibusbPort usb;
    const std::string lockFile = (runtime.path() / "veltrion" / "usb-1-1.4.lock").string();
    EXPECT_EQ(usb.writerLockFile("usb:1-1.4:vid_3a7c&pid_0003:A1B2C3D4E5F6"), lockFile);
    EXPECT_EQ(usb.writerLockFile("usb:1-1.4:vid_04b4&pid_00f3:"), lockFile);  // its boot loader: the same camera
    EXPECT_TRUE(std::filesystem::is_directory(runtime.path() / "veltrion"));
    EXPECT_EQ(usb.writerLockFile("usb:1-1/../x:vid_3a7c&pid_0003:A"), "");
    EXPECT_EQ(usb.writerLockFile("sim:cam0:vid_3a7c&pid_0003:A"), "");
    ::setenv("XDG_RUNTIME_DIR", "relative", 1);  // invalid: the shared lock folder instead
    EXPECT_EQ(usb.writerLockFile("usb:2-3:vid_3a7c&pid_0003:A"), "/run/lock/veltrion-usb-2-3.lock");
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", saved->c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}

TEST_F(LibusbPortOverBridge, PowerLossWhileProgrammingAndReplug) {
    startWithTwoCameras();
    LibusbPort usb;
    const BridgedDevice before = device("cam0");
    auto handle = openPath(usb, before.usbPath);
    ASSERT_TRUE(handle);
    std::vector<uint8_t> reply;
    ASSERT_EQ(in(*handle, vreq::kSpiModeEnter, 0, kSpiModeIndexV3, reply, 1), 1);
    bus->fault("cam0", "power-loss-after-pages", "1");
    // The page is written, then the power fails.
    EXPECT_EQ(out(*handle, vreq::kFlashProgram, high(kScratchAddress), low(kScratchAddress), {0x12}), 1);
    EXPECT_EQ(in(*handle, vreq::kFlashStatusSync, 0, 0, reply, 2), kUsbErrorNoDevice);
    handle.reset();
    EXPECT_FALSE(listed(usb, before.usbPath));

    bus->replug("cam0");
    bridge->sync();
    EXPECT_TRUE(listed(usb, before.usbPath));
    EXPECT_NE(device("cam0").deviceNumber, before.deviceNumber);
    handle = openPath(usb, before.usbPath);
    ASSERT_TRUE(handle);
    EXPECT_EQ(systemLoaded(*handle), 1);
}

TEST_F(LibusbPortOverBridge, BootLoaderTakesTheCamerasPort) {
    bus->add("cam0", kV3VideoAudio, kSerial0, true);
    startBridge();
    LibusbPort usb;
    const BridgedDevice loader = device("cam0");
    EXPECT_EQ(loader.usbPath, "usb:1-1:vid_04b4&pid_00f3:");
    // The camera's identity is not what sits on that port now.
    std::unique_ptr<UsbHandle> handle;
    EXPECT_EQ(usb.open("usb:1-1:vid_3a7c&pid_0003:" + kSerial0, handle), kUsbErrorNoDevice);

    handle = openPath(usb, loader.usbPath);
    ASSERT_TRUE(handle);
    const auto deviceDescriptor = descriptor(*handle, vreq::kDescriptorDevice, 0, 0);
    ASSERT_EQ(deviceDescriptor.size(), vreq::kDeviceDescriptorSize);
    EXPECT_EQ(deviceDescriptor[8] | deviceDescriptor[9] << 8, 0x04b4);
    EXPECT_EQ(deviceDescriptor[10] | deviceDescriptor[11] << 8, 0x00f3);
    EXPECT_EQ(deviceDescriptor[16], 0) << "the boot loader has no serial number";
}

}  // namespace
}  // namespace veltrion::realports::test
