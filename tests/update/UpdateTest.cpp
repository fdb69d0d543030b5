#include "UpdateFixture.h"

#include <algorithm>

#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"

using namespace veltrion;

namespace {

// Component versions a factory-fresh V3 camera carries.
const std::vector<std::string> kFactoryV3 = {"--group",      "V3G",      "--fx3",        "C0.1.0.0", "--fpga",
                                             "F1.1.0.0",     "--audio",  "A1.1.0.0",     "--isp",    "I1.1.0.0",
                                             "--bootloader", "C0.1.0.0", "--backup-fx3", "C0.1.0.0"};

bool nonDecreasing(const std::vector<std::pair<std::string, int>>& reports) {
    for (size_t i = 1; i < reports.size(); ++i)
        if (reports[i].second < reports[i - 1].second) return false;
    return true;
}

}  // namespace

TEST_F(UpdateTest, ImageOfAnotherGroupIsRefusedBeforeAnyWrite) {
    bus.add("cam0");
    const std::string v2 = image("v2", {"--group", "V2G"});
    bool updated = true;
    EXPECT_FALSE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), v2));
    EXPECT_FALSE(updated);
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::updateCameraFirmware - fw group type mismatched. Current V3G, Img given V2G"));
    EXPECT_EQ(flashWrites("cam0"), 0u);
}

TEST_F(UpdateTest, UpToDateCameraIsLeftAlone) {
    bus.add("cam0");
    const std::string same = image("same", kFactoryV3);
    bool updated = true;
    ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), same)) << log.text();
    EXPECT_FALSE(updated);
    EXPECT_EQ(flashWrites("cam0"), 0u);  // no component and no JSON rewrite
    for (const char* line : {"FPGA ver is same, not updating FPGA", "FX3 ver is same, not updating FX3",
                             "Audio ver is same, not updating Audio", "ISP ver is same, not updating ISP"})
        EXPECT_TRUE(log.contains(line)) << line;
    EXPECT_FALSE(log.contains("checking bootloader"));
    const std::vector<std::pair<std::string, int>> expected = {{"FPGA", 80}, {"FX3M", 87}, {"AUDIO", 88},
                                                               {"ISP", 91},  {"LUT", 92},  {"", 100}};
    EXPECT_EQ(progress.reports, expected);
}

TEST_F(UpdateTest, NewerImageUpdatesTheCameraWhichRebootsIntoIt) {
    bus.add("cam0");
    const std::string newer = image("newer", {"--group", "V3G"});
    bool updated = false;
    ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), newer)) << log.text();
    EXPECT_TRUE(updated);
    EXPECT_TRUE(log.contains("checking bootloader & backup fx3 if update is needed"));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::updateCameraFirmware - camera \"" + bus.find("cam0").serial + "\" updated.\n"));
    ASSERT_FALSE(progress.reports.empty());
    EXPECT_EQ(progress.reports.back(), (std::pair<std::string, int>{"", 100}));
    EXPECT_TRUE(nonDecreasing(progress.reports));
    EXPECT_EQ(bus.readFlash("cam0", flashmap::kJsonAddress, 2), (std::vector<uint8_t>{'F', 'D'}));

    ASSERT_TRUE(mgr->rebootDevice(pathOf("cam0")));
    const CameraInfo after = info("cam0");
    EXPECT_TRUE(after.systemReady);
    EXPECT_EQ(after.fx3Version, packed("C0.2.0.0"));
    EXPECT_EQ(after.fpgaVersion, packed("F1.2.0.0"));
    EXPECT_EQ(after.audioVersion, packed("A1.2.0.0"));
    EXPECT_EQ(after.ispVersion, packed("I1.2.0.0"));

    // The same image again finds nothing to do.
    log.clear();
    ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), newer));
    EXPECT_FALSE(updated);
}

TEST_F(UpdateTest, UnreadVersionsRewriteEverythingIncludingBootComponents) {
    bus.add("cam0");
    bus.set("cam0", "system-loaded", "0");  // the camera does not answer its versions
    std::vector<std::string> options = kFactoryV3;
    options.insert(options.end(), {"--bootloader", "C0.3.0.0"});
    const std::string sameButLoader = image("loader", options);
    bool updated = false;
    ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), sameButLoader)) << log.text();
    EXPECT_TRUE(updated);
    EXPECT_TRUE(log.contains("camera fw version not working - forcing update all components"));
    EXPECT_TRUE(log.contains("camera fw version not reliable - forcing update FX3, Audio, and ISP"));
    for (const char* line : {"updating FPGA firmware", "updating FX3 firmware", "updating Audio firmware",
                             "updating ISP firmware", "programing bootloader as checksum mismatched"})
        EXPECT_TRUE(log.contains(line)) << line;
    // The backup FX3 in the image equals the camera's: checked, not rewritten.
    EXPECT_TRUE(log.contains("backup fx3 is up-to-date"));
    const auto loader = bus.readFlash("cam0", flashmap::kBootLoaderAddress, flashmap::kBootLoaderRegionSize);
    EXPECT_EQ(fx3ImageVersionText(loader).value_or(""), "C0.3.0.0");
}

TEST_F(UpdateTest, CameraWithoutChecksumQueryIsVerifiedByReadingBack) {
    bus.add("cam0");
    bus.fault("cam0", "refuse-checksum", "1");
    const std::string newer = image("newer", {"--group", "V3G"});
    bool updated = false;
    ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), newer)) << log.text();
    EXPECT_TRUE(log.contains("firmware does not support checksum verification vendor command! Fall back to flash read back"));
    // Every later writer read its region back: at least the whole FPGA component.
    EXPECT_GT(stat("cam0", "transfers-0xc3"), camsim::kFactoryFpgaSize / flashmap::kPageSize);
    ASSERT_TRUE(mgr->rebootDevice(pathOf("cam0")));
    EXPECT_EQ(info("cam0").fpgaVersion, packed("F1.2.0.0"));
}

TEST_F(UpdateTest, PowerLossDuringTheFpgaWriteIsRepairedByTheNextUpdate) {
    bus.add("cam0");
    const std::string newer = image("newer", {"--group", "V3G"});
    // The boot components take about 560 pages; the FPGA component 4096.
    bus.fault("cam0", "power-loss-after-pages", "2000");
    bool updated = false;
    EXPECT_FALSE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), newer));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::updateCameraFirmware - failed program FPGA\n"));
    bus.replug("cam0");

    CameraInfo broken = info("cam0");
    EXPECT_FALSE(broken.systemReady);  // its FPGA has no valid signature
    log.clear();
    ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), newer)) << log.text();
    ASSERT_TRUE(mgr->rebootDevice(pathOf("cam0")));
    const CameraInfo repaired = info("cam0");
    EXPECT_TRUE(repaired.systemReady);
    EXPECT_EQ(repaired.fpgaVersion, packed("F1.2.0.0"));
    EXPECT_EQ(repaired.fx3Version, packed("C0.2.0.0"));
}

TEST_F(UpdateTest, CutFx3WriteIsFoundAndRepairedThoughTheBackupReportsTheNewVersion) {
    for (const bool withChecksumQuery : {true, false}) {
        SCOPED_TRACE(withChecksumQuery ? "checksum query" : "boot-chain walk");
        const std::string camera = withChecksumQuery ? "cam0" : "cam1";
        bus.add(camera);
        if (!withChecksumQuery) bus.fault(camera, "refuse-checksum", "1");
        const std::string newer = image("newer", {"--group", "V3G"});
        // Past the boot components (~560 pages) and the FPGA (4096): inside the FX3 write.
        bus.fault(camera, "power-loss-after-pages", "4800");
        bool updated = false;
        EXPECT_FALSE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf(camera), newer));
        EXPECT_TRUE(log.contains("Veltrion2CamMgr::updateCameraFirmware - failed program FX3\n"));
        bus.replug(camera);
        // The boot loader starts the backup FX3 firmware, written earlier in the update.
        EXPECT_FALSE(bus.find(camera).bootLoader);
        EXPECT_EQ(info(camera).fx3Version, packed("C0.2.0.0"));

        // The check and a plain update both see the main FX3 firmware is cut.
        bool needed = false;
        unsigned seconds = 0;
        ASSERT_TRUE(mgr->isUpdateNeeded(newer, false, needed, seconds, pathOf(camera)));
        EXPECT_TRUE(needed);
        EXPECT_EQ(seconds, 20u);
        log.clear();
        ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf(camera), newer)) << log.text();
        EXPECT_TRUE(log.contains("judgeFlashAgainstImage - fx3 in flash is not sound\n"));
        EXPECT_TRUE(log.contains("updating FX3 firmware\n"));
        const auto fx3 = bus.readFlash(camera, flashmap::kFx3Address, flashmap::kFx3RegionSize);
        EXPECT_EQ(validateFx3BootImage(fx3), Fx3ImageCheck::Ok);
        ASSERT_TRUE(mgr->rebootDevice(pathOf(camera)));
        ASSERT_TRUE(mgr->isUpdateNeeded(newer, false, needed, seconds, pathOf(camera)));
        EXPECT_FALSE(needed);
    }
}

TEST_F(UpdateTest, FeatureJsonThatIsNotTheImagesIsWrittenAgain) {
    bus.add("cam0");
    const std::string same = image("same", kFactoryV3);
    // A JSON write cut short: the record's header is there, its text is not.
    bus.writeFlash("cam0", flashmap::kJsonAddress + 64, std::vector<uint8_t>(64, 0x00));
    bool needed = false;
    unsigned seconds = 0;
    ASSERT_TRUE(mgr->isUpdateNeeded(same, false, needed, seconds, pathOf("cam0")));
    EXPECT_TRUE(needed);
    EXPECT_EQ(seconds, 5u);
    bool updated = false;
    ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), same)) << log.text();
    EXPECT_TRUE(updated);  // so the console programs the layout's defaults after it
    EXPECT_TRUE(log.contains("FPGA ver is same, not updating FPGA"));
    std::string json;
    ASSERT_TRUE(mgr->extractJsonStr(0, 0, same, json));
    const auto record = bus.readFlash("cam0", flashmap::kJsonAddress + 6, static_cast<uint32_t>(json.size()));
    EXPECT_EQ(std::string(record.begin(), record.end()), json);
}

TEST_F(UpdateTest, UpdateCheckEstimatesByTheMostExpensiveReason) {
    bus.add("cam0");
    const std::string path = pathOf("cam0");
    bool needed = true;
    unsigned seconds = 99;
    std::vector<std::string> options = kFactoryV3;
    ASSERT_TRUE(mgr->isUpdateNeeded(image("same", options), false, needed, seconds, path));
    EXPECT_FALSE(needed);
    EXPECT_EQ(seconds, 0u);

    options.insert(options.end(), {"--audio", "A1.5.0.0"});
    const std::string audioOnly = image("audio", options);
    ASSERT_TRUE(mgr->isUpdateNeeded(audioOnly, false, needed, seconds, path));
    EXPECT_TRUE(needed);
    EXPECT_EQ(seconds, 5u);
    ASSERT_TRUE(mgr->isUpdateNeeded(audioOnly, true, needed, seconds, path));
    EXPECT_EQ(seconds, 600u);

    ASSERT_TRUE(mgr->isUpdateNeeded(image("newer", {"--group", "V3G"}), false, needed, seconds, path));
    EXPECT_EQ(seconds, 570u);
    EXPECT_FALSE(mgr->isUpdateNeeded((dir.path() / "missing.img").string(), false, needed, seconds, path));

    // An image the update would refuse is not offered as an update.
    log.clear();
    EXPECT_FALSE(mgr->isUpdateNeeded(image("v2", {"--group", "V2G"}), false, needed, seconds, path));
    EXPECT_FALSE(needed);
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::isUpdateNeeded - fw group type mismatched. Current V3G, Img given V2G\n"));
}

TEST_F(UpdateTest, UnifiedPackagesAreResolvedPerCameraEverywhere) {
    bus.add("v3cam");
    bus.add("v2scam", 0xc002, "", false);
    const std::string v3 = image("v3", {"--group", "V3G"});
    const std::string v2s = image("v2s", {"--group", "V2sG"});
    const std::string package = testimages::buildUnifiedPackage(*mgr, dir.path(), "both", {v3, v2s},
                                                                (dir.path() / "v3" / "features.json").string());
    ASSERT_FALSE(package.empty()) << log.text();

    bool needed = false;
    unsigned seconds = 0;
    ASSERT_TRUE(mgr->isUpdateNeeded(package, false, needed, seconds, pathOf("v2scam"))) << log.text();
    EXPECT_TRUE(needed);

    bool anyUpdated = false;
    ASSERT_TRUE(mgr->updateCameraFirmwareAllCams(package, false, anyUpdated)) << log.text();
    EXPECT_TRUE(anyUpdated);
    ASSERT_TRUE(mgr->rebootAllVeltrion2Camera());
    EXPECT_EQ(info("v3cam").fx3Version, packed("C0.2.0.0"));
    EXPECT_EQ(info("v2scam").fx3Version, packed("X2.2.0.0"));

    ImageVersions versions{};
    ASSERT_TRUE(mgr->getImgVersion(0x3a7c, 0xc002, versions, package));
    EXPECT_EQ(versions[1], packed("X2.2.0.0"));
    std::vector<std::string> ids;
    std::string own;
    ASSERT_TRUE(mgr->getListOfAvailableFirmwares(0x3a7c, 0x8003, ids, own, package));
    EXPECT_EQ(ids, std::vector<std::string>{"3a7c:0003"});
    EXPECT_EQ(own, "3a7c:8003");
}

TEST_F(UpdateTest, LookupTableAndAlignmentOfTheCamerasSerialAreWritten) {
    bus.add("cam0");
    bus.add("cam1");
    const std::string serial = bus.find("cam0").serial;
    const std::string withLut = image("lut", {"--group", "V3G", "--lut", "ABCDEF012345", "--lut", serial});
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(mgr->openAndReadFile(withLut, bytes));
    UpdatePackage package;
    ASSERT_TRUE(mgr->parseUpdatePackage(bytes.data(), bytes.size(), package));
    ASSERT_EQ(package.serialNumbers.size(), 2u);

    bool updated = false;
    ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam0"), withLut)) << log.text();
    EXPECT_TRUE(log.contains("found: mathcing serial " + serial + " - updating LUT, alignment data"));
    const auto lut = bus.readFlash("cam0", flashmap::kLutAddress, flashmap::kLutSize);
    const auto expected = package.lookupTable(1);
    EXPECT_TRUE(std::equal(lut.begin(), lut.end(), expected.begin(), expected.end()));
    CamConfigBlock block;
    ASSERT_TRUE(mgr->getVeltrion2CamConfigBlock(block, pathOf("cam0")));
    for (size_t i = 0; i < block.ctg.size(); ++i) EXPECT_EQ(block.ctg[i], package.alignmentData[1][i]) << i;
    EXPECT_EQ(block.serialNumber.substr(0, serial.size()), serial);  // the rest of the block survived

    // A camera whose serial the image does not carry keeps its table.
    log.clear();
    const auto before = bus.readFlash("cam1", flashmap::kLutAddress, flashmap::kLutSize);
    ASSERT_TRUE(mgr->updateCameraFirmware(false, updated, 0, 0, pathOf("cam1"), withLut));
    EXPECT_TRUE(log.contains("LUT not updated because no LUT for serial " + bus.find("cam1").serial + " found"));
    EXPECT_EQ(bus.readFlash("cam1", flashmap::kLutAddress, flashmap::kLutSize), before);
}
