#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "Bus.h"
#include "device/VendorRequests.h"
#include "device/WinDevice.h"
#include "manager/Veltrion2CamMgr.h"
#include "support/CapturingLogger.h"
#include "support/ScriptedUsbPort.h"
#include "support/TempDir.h"

using namespace veltrion;

namespace {

uint32_t packed(const char* text) {
    uint32_t value = 0;
    EXPECT_EQ(parseVersionText(text, value), VersionParse::Ok) << text;
    return value;
}

// A manager on a fresh simulated bus, reached the way the programs reach it.
class ManagerOnSimBus : public ::testing::Test {
protected:
    ManagerOnSimBus() : bus(dir.path()) {
        ::setenv("VELTRION_SIM", dir.str().c_str(), 1);
        mgr = std::make_unique<Veltrion2CamMgr>(true);
        mgr->setLogger(&log);
    }
    ~ManagerOnSimBus() override { ::unsetenv("VELTRION_SIM"); }

    std::string pathOf(const std::string& name) { return bus.find(name).path; }
    uint64_t stat(const std::string& name, const std::string& key) { return bus.stats(name)[key]; }

    TempDir dir{"mgrbus"};
    camsim::Bus bus;
    CapturingLogger log;
    std::unique_ptr<Veltrion2CamMgr> mgr;
};

}  // namespace

TEST_F(ManagerOnSimBus, ReadsIdentityAndVersionsOfAReadyCamera) {
    bus.add("cam0", 0x0003, "A1B2C3D4E5F6", false);
    CameraInfo info;
    ASSERT_TRUE(mgr->getVeltrion2Info(info, pathOf("cam0")));
    EXPECT_EQ(info.vendorId, 0x3a7c);
    EXPECT_EQ(info.productId, 0x0003);
    EXPECT_EQ(info.usbBusType, 0x0300);
    EXPECT_EQ(info.serialNumber, "A1B2C3D4E5F6");
    EXPECT_TRUE(info.systemReady);
    EXPECT_TRUE(info.versionsRead);
    EXPECT_TRUE(info.versionsValid);
    EXPECT_EQ(info.fx3Version, packed("C0.1.0.0"));
    EXPECT_EQ(info.fpgaVersion, packed("F1.1.0.0"));
    EXPECT_EQ(info.audioVersion, packed("A1.1.0.0"));
    EXPECT_EQ(info.ispVersion, packed("I1.1.0.0"));
    EXPECT_EQ(log.text(), "");
}

TEST_F(ManagerOnSimBus, CameraThatHasNotBootedKeepsVersionsUnread) {
    bus.add("cam0");
    bus.set("cam0", "system-loaded", "0");
    CameraInfo info;
    ASSERT_TRUE(mgr->getVeltrion2Info(info, pathOf("cam0")));
    EXPECT_FALSE(info.systemReady);
    EXPECT_FALSE(info.versionsValid);
    EXPECT_EQ(info.fx3Version, kVersionNotRead);
    EXPECT_EQ(info.ispVersion, kVersionNotRead);
    EXPECT_EQ(info.productId, 0x0003);
    EXPECT_EQ(stat("cam0", "transfers-0xfe"), 0u);
}

TEST_F(ManagerOnSimBus, FirmwareWithoutSystemLoadedRequestCountsAsReady) {
    bus.add("cam0");
    bus.fault("cam0", "refuse-df", "1");
    CameraInfo info;
    ASSERT_TRUE(mgr->getVeltrion2Info(info, pathOf("cam0")));
    EXPECT_TRUE(info.systemReady);
    EXPECT_TRUE(info.versionsValid);
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::isSystemLoaded failed - send control transfer failed.\n"));
}

TEST_F(ManagerOnSimBus, CameraThatVanishedBeforeOpeningIsOneFailure) {
    bus.add("cam0");
    const std::string path = pathOf("cam0");
    bus.remove("cam0");
    CameraInfo info;
    info.serialNumber = "untouched";
    EXPECT_FALSE(mgr->getVeltrion2Info(info, path));
    EXPECT_EQ(info.serialNumber, "untouched");
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::getVeltrion2Info failed to open device path " + path + "\n"));
    int value = 0;
    EXPECT_FALSE(mgr->getUSBType(path, value));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::getUSBType failed - unable to open dev " + path + "\n"));
    bool streaming = false;
    EXPECT_FALSE(mgr->getCamStreamingStatus(path, streaming));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::getCamStreamingStatus failed - cannot open " + path + "\n"));
}

TEST_F(ManagerOnSimBus, StateQueriesPassTheCamerasBytesOn) {
    bus.add("cam0");
    bus.set("cam0", "usb-type", "2");
    bus.set("cam0", "ext-power", "0");
    bus.set("cam0", "streaming", "1");
    int usbType = -1, power = -1;
    bool streaming = false;
    ASSERT_TRUE(mgr->getUSBType(pathOf("cam0"), usbType));
    ASSERT_TRUE(mgr->getExternalPowerPresent(pathOf("cam0"), power));
    ASSERT_TRUE(mgr->getCamStreamingStatus(pathOf("cam0"), streaming));
    EXPECT_EQ(usbType, 2);
    EXPECT_EQ(power, 0);
    EXPECT_TRUE(streaming);
    bus.set("cam0", "streaming", "0");
    ASSERT_TRUE(mgr->getCamStreamingStatus(pathOf("cam0"), streaming));
    EXPECT_FALSE(streaming);
}

TEST_F(ManagerOnSimBus, ListsCamerasInPathOrderAndCountsBootLoaders) {
    std::vector<std::string> paths{"stale"};
    EXPECT_FALSE(mgr->getCameraList(paths));
    EXPECT_TRUE(paths.empty());
    EXPECT_EQ(mgr->getNumBrokenCameras(), 0);

    bus.add("camB", 0xc002, "", false);
    bus.add("camA");
    bus.add("dead1", 0x0003, "", true);
    bus.add("dead2", 0x8003, "", true);
    ASSERT_TRUE(mgr->getCameraList(paths));
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], pathOf("camA"));
    EXPECT_EQ(paths[1], pathOf("camB"));
    EXPECT_EQ(mgr->getNumBrokenCameras(), 2);
}

TEST_F(ManagerOnSimBus, RebootResetsTheCameraWhichComesBackFromItsFlash) {
    bus.add("cam0");
    const std::string path = pathOf("cam0");
    ASSERT_TRUE(mgr->rebootDevice(path));
    EXPECT_EQ(stat("cam0", "resets"), 1u);

    // Damage the FPGA component header: the camera boots, but not completely.
    bus.writeFlash("cam0", 0x110000, {'X', 'X'});
    CameraInfo info;
    ASSERT_TRUE(mgr->getVeltrion2Info(info, path));
    EXPECT_TRUE(info.systemReady);  // reported state changes only after a reset
    ASSERT_TRUE(mgr->rebootDevice(path));
    ASSERT_TRUE(mgr->getVeltrion2Info(info, path));
    EXPECT_FALSE(info.systemReady);
    EXPECT_EQ(stat("cam0", "resets"), 2u);
}

TEST_F(ManagerOnSimBus, RebootAllWalksEveryCameraAndAcceptsAnEmptyBus) {
    EXPECT_TRUE(mgr->rebootAllVeltrion2Camera());
    EXPECT_TRUE(log.contains("rebootAllVeltrion2Camera: no devices found\n"));
    bus.add("cam0");
    bus.add("cam1");
    EXPECT_TRUE(mgr->rebootAllVeltrion2Camera());
    EXPECT_EQ(stat("cam0", "resets"), 1u);
    EXPECT_EQ(stat("cam1", "resets"), 1u);
}

TEST_F(ManagerOnSimBus, RebootOfAVanishedCameraFails) {
    bus.add("cam0");
    const std::string path = pathOf("cam0");
    bus.remove("cam0");
    EXPECT_FALSE(mgr->rebootDevice(path));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::rebootDevice failed to open device path " + path + "\n"));
}

TEST_F(ManagerOnSimBus, OneWriterPerCameraNestsInItsThreadAndRefusesEveryoneElse) {
    bus.add("cam0");
    const std::string path = pathOf("cam0");
    const auto lockFile = dir.path() / "cam0" / "writer.lock";
    {
        auto outer = mgr->lockCameraForWriting(path);
        ASSERT_TRUE(outer);
        EXPECT_EQ(outer.lockFile(), lockFile.string());
        {
            auto inner = mgr->lockCameraForWriting(path);  // a writer the outer operation calls
            EXPECT_TRUE(inner);
        }
        // The inner guard gave back only its own hold.
        std::thread([&] { EXPECT_FALSE(mgr->lockCameraForWriting(path)); }).join();
        EXPECT_TRUE(log.contains("Veltrion2CamMgr::lockCameraForWriting failed - camera busy: another writer is "
                                 "changing camera " + path + "\n"));
    }
    // Released for good: another process's flock (another open file) gets it,
    // and while that one holds it this process is refused at once.
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(mgr->lockCameraForWriting(path).status(), CameraWriteLock::Status::Busy);
    ::close(fd);
    EXPECT_TRUE(mgr->lockCameraForWriting(path));
}

TEST_F(ManagerOnSimBus, CameraSwappedOntoThePortIsNeverWrittenUnderTheOldPath) {
    bus.add("cam0", 0x0003, "A1B2C3D4E5F6", false);
    const std::string oldPath = pathOf("cam0");
    bus.remove("cam0");
    bus.add("cam0", 0x0003, "0123456789AB", false);
    mgr->device()->setLogger(&log);
    const auto block = bus.readFlash("cam0", 0x80000, 256);

    EXPECT_FALSE(mgr->setVeltrion2CamCTGData(1, 2, 3, 4, 5, oldPath));
    EXPECT_TRUE(log.contains("openVeltrion2Dev: refused dev path " + oldPath +
                             " - the device at its port answers another serial number\n"))
        << log.text();
    EXPECT_EQ(stat("cam0", "transfers-0xd2"), 0u);
    EXPECT_EQ(bus.readFlash("cam0", 0x80000, 256), block);
    CameraInfo info;
    EXPECT_TRUE(mgr->getVeltrion2Info(info, pathOf("cam0")));  // under its own path it opens
}


// Descriptor and version failures, laid down with a scripted port.
class ManagerOnScriptedPort : public ::testing::Test {
protected:
    ManagerOnScriptedPort() {
        state->replies[{vreq::kSystemLoaded, 0}] = {1};
        state->replies[{vreq::kStdGetDescriptor, vreq::kDescriptorDevice << 8}] = {
            18, 1, 0x10, 0x02, 0xEF, 2, 1, 64, 0x7c, 0x3a, 0x02, 0xc0, 0x01, 0x00, 1, 2, 3, 1};
        state->replies[{vreq::kStdGetDescriptor, vreq::kDescriptorString << 8 | 3}] = {6, 3, 'A', 0, 'B', 0};
        mgr.setLogger(&log);
    }

    static std::vector<uint8_t> versionBlock(const std::vector<std::string>& texts) {
        std::vector<uint8_t> block(vreq::kVersionBlockSize, 0);
        for (size_t k = 0; k < texts.size(); ++k)
            for (size_t i = 0; i < texts[k].size() && i < 16; ++i)
                block[k * vreq::kVersionEntrySize + vreq::kVersionTextOffset + i] = static_cast<uint8_t>(texts[k][i]);
        return block;
    }

    std::shared_ptr<ScriptedUsbState> state = std::make_shared<ScriptedUsbState>();
    CapturingLogger log;
    Veltrion2CamMgr mgr{true, std::make_unique<WinDevice>(std::make_unique<ScriptedUsbPort>(state))};
};

TEST_F(ManagerOnScriptedPort, VersionRequestFailureStillGivesTheIdentity) {
    CameraInfo info;
    ASSERT_TRUE(mgr.getVeltrion2Info(info, "usb:1-1:vid_3a7c&pid_c002:AB"));
    EXPECT_TRUE(info.systemReady);
    EXPECT_FALSE(info.versionsRead);
    EXPECT_FALSE(info.versionsValid);
    EXPECT_EQ(info.fx3Version, kVersionNotRead);
    EXPECT_EQ(info.serialNumber, "AB");
    EXPECT_EQ(info.usbBusType, 0x0210);
}

TEST_F(ManagerOnScriptedPort, VersionTextsAreCutAtFifteenCharactersAndBadOnesLogged) {
    state->replies[{vreq::kQuery, 0}] = versionBlock({"X2.1.2.3", "F1.2.3.45678901234", "junk", ""});
    CameraInfo info;
    ASSERT_TRUE(mgr.getVeltrion2Info(info, "usb:1-1:vid_3a7c&pid_c002:AB"));
    EXPECT_TRUE(info.versionsValid);
    EXPECT_EQ(info.fx3Version, packed("X2.1.2.3"));
    EXPECT_EQ(info.fpgaVersion, packed("F1.2.3.45678901"));  // 15 characters kept
    EXPECT_EQ(info.audioVersion, 0xFFFFFFFFu);
    EXPECT_EQ(info.ispVersion, 0xFFFFFFFFu);
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::getVersion - invalid version format junk\n"));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::getVeltrion2Info (off 44) failed to convert version junk\n"));
}

TEST_F(ManagerOnScriptedPort, DescriptorFailuresAreReportedAndLeaveTheDeviceClosed) {
    state->replies.erase({vreq::kStdGetDescriptor, vreq::kDescriptorString << 8 | 3});
    CameraInfo info;
    EXPECT_FALSE(mgr.getVeltrion2Info(info, "usb:1-1:vid_3a7c&pid_c002:AB"));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::getDescriptorInfo failed - get serial # string descriptor failed\n"));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::getVeltrion2Info failed - get device descriptor uvc failed\n"));
    EXPECT_FALSE(static_cast<WinDevice*>(mgr.device())->isOpen());

    log.clear();
    state->replies.erase({vreq::kStdGetDescriptor, vreq::kDescriptorDevice << 8});
    EXPECT_FALSE(mgr.getVeltrion2Info(info, "usb:1-1:vid_3a7c&pid_c002:AB"));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::getDescriptorInfo failed - get device descriptor failed\n"));
}

TEST_F(ManagerOnScriptedPort, RebootWhoseResetFailsClosesTheDevice) {
    EXPECT_FALSE(mgr.rebootDevice("usb:1-1:vid_3a7c&pid_c002:AB"));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::rebootDevice failed - usb reset command failed\n"));
    EXPECT_FALSE(static_cast<WinDevice*>(mgr.device())->isOpen());
}
