#include "UpdateFixture.h"

#include <algorithm>

#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"

using namespace veltrion;

namespace {

// Garbles bytes inside an image region as a cut-off write would leave them.
void damage(camsim::Bus& bus, const std::string& camera, uint32_t address) {
    bus.writeFlash(camera, address, std::vector<uint8_t>(64, 0x5A));
}

}  // namespace

TEST_F(UpdateTest, WithoutBootModeDevicesRecoveryReturnsAtOnce) {
    bus.add("cam0");
    mgr->setRecoveryWait(std::chrono::seconds(30));  // would be noticed
    const uint8_t notAnImage[] = {1, 2, 3};
    mgr->recoverAllCamsFX3(notAnImage, sizeof notAnImage);
    EXPECT_EQ(log.text(), "");
}

TEST_F(UpdateTest, BootChainCheckReadsWholeImages) {
    bus.add("cam0");
    EXPECT_TRUE(mgr->isDevFX3Valid(pathOf("cam0")));
    // The boot loader's sections reach past any small window: damage its end.
    damage(bus, "cam0", flashmap::kBootLoaderAddress + camsim::kFactoryBootLoaderSize - 1024);
    const auto chain = mgr->inspectBootChain(pathOf("cam0"));
    ASSERT_TRUE(chain);
    EXPECT_FALSE(chain->bootLoaderValid);
    EXPECT_TRUE(chain->fx3Valid);
    EXPECT_FALSE(mgr->isDevFX3Valid(pathOf("cam0")));
}

TEST_F(UpdateTest, CameraWhoseBootLoaderWasCutInHalfComesBackWithoutAForcedUpdate) {
    bus.add("cam0");
    const std::string factory = image("factory", {"--group", "V3G", "--fx3", "C0.1.0.0", "--fpga", "F1.1.0.0",
                                                  "--audio", "A1.1.0.0", "--isp", "I1.1.0.0", "--bootloader",
                                                  "C0.1.0.0", "--backup-fx3", "C0.1.0.0"});
    damage(bus, "cam0", flashmap::kBootLoaderAddress + camsim::kFactoryBootLoaderSize / 2);
    bus.replug("cam0");
    ASSERT_TRUE(bus.find("cam0").bootLoader);
    EXPECT_EQ(mgr->getNumBrokenCameras(), 1);

    bool anyUpdated = true;
    ASSERT_TRUE(mgr->updateCameraFirmwareAllCams(factory, false, anyUpdated)) << log.text();
    EXPECT_TRUE(log.contains("found westbridge cam"));
    EXPECT_TRUE(log.contains("recovering invalid fx3 data. Previous error ignored."));
    EXPECT_FALSE(anyUpdated);  // the versions it runs are the image's

    bus.replug("cam0");
    EXPECT_FALSE(bus.find("cam0").bootLoader);
    EXPECT_EQ(mgr->getNumBrokenCameras(), 0);
    EXPECT_TRUE(info("cam0").systemReady);
}

TEST_F(UpdateTest, PowerLossDuringTheBootLoaderWriteIsRecoveredByTheAllCamerasUpdate) {
    bus.add("cam0");
    const std::string newer = image("newer", {"--group", "V3G"});
    // The backup FX3 takes about 480 pages; the boot loader 80 after it.
    bus.fault("cam0", "power-loss-after-pages", "520");
    bool updated = false;
    EXPECT_FALSE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), newer));
    bus.replug("cam0");
    ASSERT_TRUE(bus.find("cam0").bootLoader);

    log.clear();
    bool anyUpdated = false;
    ASSERT_TRUE(mgr->updateCameraFirmwareAllCams(newer, false, anyUpdated)) << log.text();
    EXPECT_TRUE(anyUpdated);
    ASSERT_TRUE(mgr->rebootAllVeltrion2Camera());
    const CameraInfo after = info("cam0");
    EXPECT_TRUE(after.systemReady);
    EXPECT_EQ(after.fx3Version, packed("C0.2.0.0"));
    EXPECT_EQ(after.fpgaVersion, packed("F1.2.0.0"));
    const auto loader = bus.readFlash("cam0", flashmap::kBootLoaderAddress, flashmap::kBootLoaderRegionSize);
    EXPECT_EQ(fx3ImageVersionText(loader).value_or(""), "C0.2.0.0");
}

TEST_F(UpdateTest, DownloadWhoseReadBackDiffersStopsThatDeviceOnly) {
    bus.add("bad", 0x0003, "", true);
    bus.add("good", 0x0003, "", true);
    bus.fault("bad", "ram-readback-corrupt", "1");
    const std::string newer = image("newer", {"--group", "V3G"});
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(mgr->openAndReadFile(newer, bytes));
    mgr->recoverAllCamsFX3(bytes.data(), bytes.size());
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::loadBootProgram - verify failed at offset"));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::recoverAllCamsFX3 - failed to bring up cam " + pathOf("bad") + "\n"));
    EXPECT_TRUE(bus.find("bad").bootLoader);
    EXPECT_FALSE(bus.find("good").bootLoader);
    // The blank camera got its whole boot chain written and boots by itself.
    bus.replug("good");
    EXPECT_FALSE(bus.find("good").bootLoader);
}

TEST_F(UpdateTest, ImageWithAnInvalidFx3ComponentBringsUpNoDevice) {
    bus.add("dead", 0x0003, "", true);
    const std::string newer = image("newer", {"--group", "V3G"});
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(mgr->openAndReadFile(newer, bytes));
    UpdatePackage package;
    ASSERT_TRUE(mgr->parseUpdatePackage(bytes.data(), bytes.size(), package));
    // Spoil the FX3 firmware's checksum inside the image and hash the body
    // again, so that only the boot-image check can tell.
    const auto fx3At = std::search(bytes.begin(), bytes.end(), package.fx3.begin(), package.fx3.end());
    ASSERT_NE(fx3At, bytes.end());
    *(fx3At + static_cast<std::ptrdiff_t>(package.fx3.size()) - 1) ^= 0xFF;
    const size_t body = singleimage::headerSize(0);
    const auto digest = mgr->getMD5Hash(bytes.data() + body, bytes.size() - body);
    ASSERT_TRUE(digest);
    std::copy(digest->begin(), digest->end(), bytes.begin() + singleimage::kMd5Offset);

    mgr->recoverAllCamsFX3(bytes.data(), bytes.size());
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::loadBootProgram - failed to parse Update package\n"));
    EXPECT_TRUE(log.contains("as no live cam\n"));
    EXPECT_TRUE(bus.find("dead").bootLoader);
    // The all-cameras update fails with it.
    bool anyUpdated = true;
    EXPECT_FALSE(mgr->updateCameraFirmwareAllCams(bytes.data(), bytes.size(), false, anyUpdated));
}

TEST_F(UpdateTest, RecoveryNeverWritesAnotherModelsFirmware) {
    // A V2 camera whose boot loader is damaged, and a V3 image: the RAM
    // download may start it, but its flash keeps what it had.
    bus.add("v2cam", 0x0002, "", false);
    damage(bus, "v2cam", flashmap::kBootLoaderAddress + camsim::kFactoryBootLoaderSize / 2);
    bus.replug("v2cam");
    ASSERT_TRUE(bus.find("v2cam").bootLoader);
    const auto flashBefore = bus.readFlash("v2cam", 0, flashmap::kFlashSize);
    const std::string v3 = image("v3", {"--group", "V3G"});

    bool anyUpdated = false;
    EXPECT_FALSE(mgr->updateCameraFirmwareAllCams(v3, false, anyUpdated));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::recoverAllCamsFX3 - the image (group V3G) does not fit cam " + pathOf("v2cam") +
                             " (group V2G) - its flash is not repaired\n"))
        << log.text();
    EXPECT_EQ(stat("v2cam", "pages-programmed"), 0u);
    EXPECT_EQ(bus.readFlash("v2cam", 0, flashmap::kFlashSize), flashBefore);

    // A package without an image of the camera's model is refused the same way.
    bus.replug("v2cam");
    ASSERT_TRUE(bus.find("v2cam").bootLoader);
    const std::string v2s = image("v2s", {"--group", "V2sG"});
    const std::string package = testimages::buildUnifiedPackage(*mgr, dir.path(), "nov2", {v3, v2s},
                                                                (dir.path() / "v3" / "features.json").string());
    log.clear();
    EXPECT_FALSE(mgr->updateCameraFirmwareAllCams(package, false, anyUpdated));
    EXPECT_TRUE(log.contains("no image of the package fits cam " + pathOf("v2cam") + " (3a7c:0002)")) << log.text();
    EXPECT_EQ(bus.readFlash("v2cam", 0, flashmap::kFlashSize), flashBefore);
}
