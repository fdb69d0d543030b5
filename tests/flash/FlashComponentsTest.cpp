// The flash map's component writers and the camera's checksum query.

#include <algorithm>

#include "Factory.h"
#include "FlashFixture.h"
#include "format/FlashMap.h"
#include "base/ByteLayout.h"

namespace fm = veltrion::flashmap;

namespace {

std::vector<uint8_t> factoryBackupFx3() {
    return camsim::makeBackupFx3Firmware(camsim::factoryVersions(0x3a7c, 0x0003).backupFx3);
}

}  // namespace

TEST_F(FlashTest, ChecksumQueryAcceptedRefusedAndInconsistent) {
    bool match = false;
    uint32_t expected = 0, calculated = 0;
    ASSERT_TRUE(mgr_->getFirmwareCheckSum(path_, 3, match, expected, calculated));
    EXPECT_TRUE(match);
    EXPECT_EQ(expected, calculated);
    EXPECT_NE(expected, 0u);
    EXPECT_TRUE(mgr_->verifyFirmwareCheckSum(path_, 2));
    EXPECT_EQ(transfers(0xD2), 0u);  // the query needs no SPI mode

    EXPECT_FALSE(mgr_->getFirmwareCheckSum(path_, 6, match, expected, calculated));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::getFirmwareCheckSum invalid component type 6\n"));

    fault("refuse-checksum", "1");
    EXPECT_FALSE(mgr_->getFirmwareCheckSum(path_, 3, match, expected, calculated));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::getFirmwareCheckSum failed - control transfer failed\n"));

    fault("refuse-checksum", "0");
    fault("checksum-inconsistent", "1");
    EXPECT_FALSE(mgr_->getFirmwareCheckSum(path_, 3, match, expected, calculated));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::getFirmwareCheckSum failed - isMatch 0, b0 0x"));
    EXPECT_FALSE(mgr_->verifyFirmwareCheckSum(path_, 3));
}

TEST_F(FlashTest, ComponentUpdateByChecksumQuery) {
    bool unsupported = false;
    auto image = factoryBackupFx3();
    ASSERT_TRUE(mgr_->updateCameraFirmware(2, 'C', 'Y', fm::kBackupFx3Address, fm::kBackupFx3RegionSize, image.data(),
                                           static_cast<uint32_t>(image.size()), unsupported, path_, "backup FX3"));
    EXPECT_TRUE(log_.contains("firmware support checksum verification. backup FX3 is up-to-date\n"));
    EXPECT_EQ(stat("pages-programmed"), 0u);

    image = camsim::makeBackupFx3Firmware("C0.9.0.0");
    ASSERT_TRUE(mgr_->updateCameraFirmware(2, 'C', 'Y', fm::kBackupFx3Address, fm::kBackupFx3RegionSize, image.data(),
                                           static_cast<uint32_t>(image.size()), unsupported, path_, "backup FX3"));
    EXPECT_TRUE(log_.contains("programing backup FX3 as checksum mismatched. isMatch 1"));
    EXPECT_FALSE(unsupported);
    EXPECT_EQ(stat("sectors-erased-64k"), 4u);
    EXPECT_EQ(flash(fm::kBackupFx3Address, static_cast<uint32_t>(image.size())), image);
    EXPECT_TRUE(mgr_->verifyFirmwareCheckSum(path_, 2));
}

TEST_F(FlashTest, ComponentUpdateFallsBackToReadBackWhenQueryIsUnusable) {
    for (const char* faultName : {"refuse-checksum", "checksum-inconsistent"}) {
        SCOPED_TRACE(faultName);
        fault(faultName, "1");
        bool unsupported = false;
        const auto same = factoryBackupFx3();
        ASSERT_TRUE(mgr_->updateCameraFirmware(2, 'C', 'Y', fm::kBackupFx3Address, fm::kBackupFx3RegionSize,
                                               same.data(), static_cast<uint32_t>(same.size()), unsupported, path_,
                                               "backup FX3"));
        EXPECT_TRUE(unsupported);
        EXPECT_TRUE(log_.contains("firmware does not support checksum verification vendor command! Fall back to flash "
                                  "read back\n"));
        EXPECT_TRUE(log_.contains("backup FX3 has valid signature and same checksum. No update needed\n"));
        EXPECT_EQ(stat("pages-programmed"), 0u);
        fault(faultName, "0");
    }

    // Once known unsupported, the query is not asked again.
    bool unsupported = true;
    const uint64_t queries = transfers(0xFE);
    const auto image = camsim::makeBackupFx3Firmware("C0.9.0.0");
    ASSERT_TRUE(mgr_->updateCameraFirmware(2, 'C', 'Y', fm::kBackupFx3Address, fm::kBackupFx3RegionSize, image.data(),
                                           static_cast<uint32_t>(image.size()), unsupported, path_, "backup FX3"));
    EXPECT_EQ(transfers(0xFE), queries);
    EXPECT_TRUE(log_.contains("updating backup FX3 as it has different checksum\n"));
    EXPECT_EQ(flash(fm::kBackupFx3Address, static_cast<uint32_t>(image.size())), image);
}

TEST_F(FlashTest, ReadBackComparisonChecksItsArgumentsBeforeReading) {
    const auto data = pattern(0x100, 1);
    EXPECT_FALSE(mgr_->programIfCheckSumNotMatch(true, 'V', 'M', 0x300000, 0x18000, data.data(), 0x100, path_, "x"));
    EXPECT_TRUE(log_.contains("programIfCheckSumNotMatch - maxSize not a multiple of sector\n"));
    EXPECT_FALSE(mgr_->programIfCheckSumNotMatch(true, 'V', 'M', 0x300000, 0x10000, data.data(), 1, path_, "x"));
    EXPECT_TRUE(log_.contains("programIfCheckSumNotMatch - bufsize 1 too small\n"));
    EXPECT_FALSE(mgr_->programIfCheckSumNotMatch(true, 'V', 'M', 0x300000, 0x10000, data.data(), 0x10001, path_, "x"));
    EXPECT_TRUE(log_.contains("programIfCheckSumNotMatch - bufsize 65537 too large, max 65536\n"));
    EXPECT_EQ(transfers(0xC3), 0u);
}

TEST_F(FlashTest, FirmwareWritersEraseTheirRegions) {
    const auto audio = pattern(0x10000, 2);
    ASSERT_TRUE(mgr_->programAudioFlash(true, audio.data(), 0x10000, fm::kAudioAddressAfterLongIsp, path_));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::programAudioFlash: erasing 2 sectors from 0xf0000\n"));
    EXPECT_EQ(stat("sectors-erased-64k"), 2u);
    EXPECT_EQ(flash(fm::kAudioAddressAfterLongIsp, 0x10000), audio);

    const auto fx3 = camsim::makeFx3Firmware("C0.9.0.0");
    ASSERT_TRUE(mgr_->programFX3Flash(true, fx3.data(), static_cast<uint32_t>(fx3.size()), path_));
    EXPECT_EQ(stat("sectors-erased-64k"), 2u + 7u);
    EXPECT_EQ(flash(fm::kFx3Address, static_cast<uint32_t>(fx3.size())), fx3);
}

TEST_F(FlashTest, FpgaWriterReportsAfterEraseAndAfterWrite) {
    RecordingProgress progress;
    mgr_->setProgressCallback(&progress);
    mgr_->flashProgress().stepName = "FPGA";
    const auto fpga = camsim::makeFpgaComponent("F1.2.0.0", 64 * 1024);
    ASSERT_TRUE(mgr_->programFPGAFlash(false, fpga.data(), static_cast<uint32_t>(fpga.size()), fm::kFpgaAddress, path_));
    EXPECT_EQ(stat("sectors-erased-64k"), 96u);
    ASSERT_GE(progress.reports.size(), 2u);
    EXPECT_EQ(progress.reports.back(), (std::pair<std::string, int>{"FPGA", 80}));
    EXPECT_NE(std::find(progress.reports.begin(), progress.reports.end(), std::pair<std::string, int>{"FPGA", 8}),
              progress.reports.end());
    EXPECT_EQ(mgr_->flashProgress().progressBase, 80);
    EXPECT_EQ(mgr_->flashProgress().programProgressSpan, 0);
}

TEST_F(FlashTest, JsonRecordFitsItsSector) {
    const std::string json = R"({"MemoryLayout":{}})";
    ASSERT_TRUE(mgr_->programJsonFlash(reinterpret_cast<const uint8_t*>(json.data()),
                                       static_cast<uint32_t>(json.size()), path_));
    const auto record = flash(fm::kJsonAddress, static_cast<uint32_t>(json.size()) + 6);
    const veltrion::ByteReader reader(record);
    EXPECT_EQ(*reader.text(0, 2), "FD");
    EXPECT_EQ(*reader.le32(2), json.size());
    EXPECT_EQ(*reader.text(6, json.size()), json);

    // One byte more than the sector holds is refused before anything is erased.
    const std::vector<uint8_t> tooLong(65531, '{');
    const uint64_t erased = stat("sectors-erased-64k");
    EXPECT_FALSE(mgr_->programJsonFlash(tooLong.data(), 65531, path_));
    EXPECT_EQ(stat("sectors-erased-64k"), erased);
    EXPECT_EQ(flash(fm::kJsonAddress, 2), (std::vector<uint8_t>{'F', 'D'}));
    EXPECT_TRUE(mgr_->programJsonFlash(tooLong.data(), 65530, path_));
}

TEST_F(FlashTest, LookupTableFromArgumentOrFromBuffer) {
    const auto table = pattern(fm::kLutSize, 3);
    ASSERT_TRUE(mgr_->programLUTs(table.data(), path_));
    EXPECT_EQ(flash(fm::kLutAddress, fm::kLutSize), table);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), mgr_->lutBuffer().begin()));

    mgr_->lutBuffer()[0] = 0x42;
    ASSERT_TRUE(mgr_->programLUTs(nullptr, path_));
    EXPECT_EQ(flash(fm::kLutAddress, 1)[0], 0x42);
}
