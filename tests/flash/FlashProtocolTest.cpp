// The flash protocol on a healthy camera: reads, read-modify-write, erase,
// signature-last writes, block-read bounds, progress and checksums.

#include "FlashFixture.h"
#include "device/VendorRequests.h"
#include "format/FlashMap.h"
#include "base/VersionNumber.h"

using veltrion::flashmap::kErasedByte;

namespace {

// The tests below work in the window 0x010000..0x01FFFF, erased first.
constexpr uint32_t kScratch = 0x12000;

class FlashProtocolTest : public FlashTest {
protected:
    void SetUp() override {
        FlashTest::SetUp();
        writeFlash(0x10000, std::vector<uint8_t>(0x10000, kErasedByte));
    }
};

}  // namespace

TEST_F(FlashProtocolTest, ReadOfOneByteAtOddAddressReadsOnePage) {
    writeFlash(0x12345, {0xA5});
    uint8_t byte = 0;
    ASSERT_TRUE(mgr_->readFlashContents(0x12345, &byte, 1, path_));
    EXPECT_EQ(byte, 0xA5);
    EXPECT_EQ(transfers(0xC3), 1u);

    // A read across a page border returns the bytes of both pages in order.
    const auto bytes = pattern(300, 3);
    writeFlash(0x120F0, bytes);
    std::vector<uint8_t> out(bytes.size());
    ASSERT_TRUE(mgr_->readFlashContents(0x120F0, out.data(), static_cast<uint32_t>(out.size()), path_));
    EXPECT_EQ(out, bytes);
}

TEST_F(FlashProtocolTest, ReadModifyWriteErasesOnlySectorsHoldingData) {
    // Into erased flash: no erase, one page programmed, the neighbours stay erased.
    const std::vector<uint8_t> data{0x11, 0x22, 0x33};
    ASSERT_TRUE(mgr_->updateFlashContents(0x12345, data.data(), 3, true, path_));
    EXPECT_EQ(stat("sectors-erased-4k"), 0u);
    EXPECT_EQ(stat("pages-programmed"), 1u);
    EXPECT_EQ(flash(0x12345, 3), data);
    EXPECT_EQ(flash(0x12344, 1)[0], kErasedByte);
    EXPECT_TRUE(log_.contains("updateFlashContents working with block 0x00012000\n"));

    // Over data: the sector is erased once and its other contents survive.
    writeFlash(0x12F00, {0x5A, 0x5B});
    const std::vector<uint8_t> changed{0x01, 0x02, 0x03};
    ASSERT_TRUE(mgr_->updateFlashContents(0x12345, changed.data(), 3, true, path_));
    EXPECT_EQ(stat("sectors-erased-4k"), 1u);
    EXPECT_EQ(flash(0x12345, 3), changed);
    EXPECT_EQ(flash(0x12F00, 2), (std::vector<uint8_t>{0x5A, 0x5B}));
    EXPECT_EQ(stat("pages-programmed"), 3u);  // the two pages that hold data
}

TEST_F(FlashProtocolTest, ReadModifyWriteAcrossSectorBorder) {
    const auto data = pattern(0x200, 9);
    ASSERT_TRUE(mgr_->updateFlashContents(0x12F00, data.data(), 0x200, true, path_));
    EXPECT_EQ(flash(0x12F00, 0x200), data);
    EXPECT_EQ(logCount("working with block"), 2u);
}

TEST_F(FlashProtocolTest, EraseContentsErasesTheSectorOfTheAddressOnly) {
    writeFlash(0x11FFF, std::vector<uint8_t>(0x1002, 0x00));
    ASSERT_TRUE(mgr_->eraseFlashContents(0xC9, 0x12345, path_));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::eraseFlashContents: erasing 4 kB at 0x00012345.\n"));
    EXPECT_EQ(flash(0x12000, 0x1000), std::vector<uint8_t>(0x1000, kErasedByte));
    EXPECT_EQ(flash(0x11FFF, 1)[0], 0x00);
    EXPECT_EQ(flash(0x13000, 1)[0], 0x00);
}

TEST_F(FlashProtocolTest, EraseWithUnknownRequestIsRefusedWithoutOpening) {
    log_.clear();
    EXPECT_FALSE(mgr_->eraseFlashContents(0xC6, 0x1000, "sim:nowhere:vid_3a7c&pid_0003:X"));
    EXPECT_EQ(log_.text(), "Veltrion2CamMgr::eraseFlashContents has to use 64K, 32K, or 4K erase\n");
    EXPECT_EQ(transfers(0xD2), 0u);
}

TEST_F(FlashProtocolTest, EnteringSpiModeUsesIndexOneOnV3Cameras) {
    auto session = openInSpiMode();
    EXPECT_TRUE(bus_->state(kCamera).run.spiMode);
}

TEST_F(FlashProtocolTest, SignatureLastWritesTheSignatureInASecondRun) {
    auto session = openInSpiMode();
    uint8_t sync = 1;
    const std::vector<uint8_t> two{'V', 'M'};
    ASSERT_TRUE(mgr_->programFlashWithSignatureLast(kScratch, two.data(), 2, true, sync));
    EXPECT_EQ(transfers(0xC2), 1u);  // one plain write
    EXPECT_EQ(flash(kScratch, 2), two);

    const auto component = pattern(1000, 1);
    ASSERT_TRUE(mgr_->programFlashWithSignatureLast(kScratch + 0x100, component.data(), 1000, true, sync));
    EXPECT_EQ(transfers(0xC2), 1u + 4 + 1);  // three pages and a tail, then the first page again
    EXPECT_EQ(flash(kScratch + 0x100, 1000), component);
}

TEST_F(FlashProtocolTest, WriteWithoutEraseIsCaughtByVerification) {
    auto session = openInSpiMode();
    uint8_t sync = 1;
    const std::vector<uint8_t> zeros(256, 0x00), ones(256, 0x0F);
    ASSERT_TRUE(mgr_->programFlash(kScratch, zeros.data(), 256, true, sync));
    EXPECT_FALSE(mgr_->programFlash(kScratch, ones.data(), 256, true, sync));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::verifyFlashContents failed - content not the same at addr 73728\n"));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::programFlash failed - failed to verify flash programming\n"));

    // The tail is compared byte for byte too.
    const std::vector<uint8_t> tail(10, 0x00), other(10, 0x80);
    ASSERT_TRUE(mgr_->programFlash(kScratch + 0x100, tail.data(), 10, true, sync));
    EXPECT_FALSE(mgr_->programFlash(kScratch + 0x100, other.data(), 10, true, sync));
    EXPECT_TRUE(log_.contains("content not the same at addr 73984, remaining bytes 10\n"));
}

TEST_F(FlashProtocolTest, BlockReadStaysInsideItsWindow) {
    auto session = openInSpiMode();
    std::vector<uint8_t> buffer(0x10100);
    EXPECT_FALSE(mgr_->readBlockAtAddr(0, 0, buffer.data(), 100));
    EXPECT_TRUE(log_.contains("readBlockAtAddr len 100 not multiple of 256\n"));
    EXPECT_TRUE(mgr_->readBlockAtAddr(0, 0, buffer.data(), 0));
    // Past the end of the window nothing more is read, and the caller is told.
    EXPECT_FALSE(mgr_->readBlockAtAddr(0, 0, buffer.data(), 0x10100));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::readBlockAtAddr i = 65536 > 0xFFFF\n"));
    EXPECT_FALSE(mgr_->readBlockAtAddr(1, 0xFF00, buffer.data(), 0x200));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::readBlockAtAddr i = 256 > 0xFFFF\n"));
    EXPECT_TRUE(mgr_->readBlockAtAddr(1, 0xFF00, buffer.data(), 0x100));
}

TEST_F(FlashProtocolTest, RegionsPastTheEndOfTheFlashAreRefusedBeforeErasing) {
    const auto data = pattern(0x100, 5);
    EXPECT_FALSE(mgr_->programSectors(false, 0x20000, 0x7F0000, data.data(), 0x100, path_));
    EXPECT_FALSE(mgr_->updateFlashContents(0x7FFFFF, data.data(), 2, true, path_));
    EXPECT_EQ(stat("sectors-erased-64k") + stat("sectors-erased-4k"), 0u);
    EXPECT_EQ(stat("pages-programmed"), 0u);
    // The last byte of the flash is still reachable.
    EXPECT_TRUE(mgr_->updateFlashContents(0x7FFFFF, data.data(), 1, true, path_));
}

TEST_F(FlashProtocolTest, ProgressIsReportedUnderTheStepNameAndSpansAreUsedOnce) {
    RecordingProgress progress;
    mgr_->setProgressCallback(&progress);
    auto& fields = mgr_->flashProgress();
    fields.stepName = "FPGA";
    fields.progressBase = 10;
    fields.eraseProgressSpan = 8;
    fields.programProgressSpan = 60;
    {
        auto session = openInSpiMode();
        uint8_t sync = 1;
        ASSERT_TRUE(mgr_->eraseFlashSectors(0x20, 0, 9, sync));
        const auto data = pattern(512 * 1024, 2);
        ASSERT_TRUE(mgr_->programFlash(0x200000, data.data(), static_cast<uint32_t>(data.size()), true, sync));
    }
    EXPECT_EQ(fields.eraseProgressSpan, 0);
    EXPECT_EQ(fields.programProgressSpan, 0);
    ASSERT_FALSE(progress.reports.empty());
    // Erase: after sectors 4 and 8 of 9; programming: every 32 KiB up to 10 + 54;
    // verifying: every 256 KiB above the programming share.
    EXPECT_EQ(progress.reports[0], (std::pair<std::string, int>{"FPGA", 10 + 5 * 8 / 9}));
    EXPECT_EQ(progress.reports[1], (std::pair<std::string, int>{"FPGA", 10 + 9 * 8 / 9}));
    EXPECT_EQ(progress.reports.size(), 2u + 16 + 2);
    EXPECT_EQ(progress.reports[2 + 15].second, 10 + 54);
    EXPECT_EQ(progress.reports.back().second, 10 + 6 + 54);
    EXPECT_EQ(logCount("programFlash: wrote "), 16u);
}

TEST_F(FlashProtocolTest, ShortRepliesPassOnlyWhereTheReplyMeansNothing) {
    // SPI-mode entry and erase answer with a byte nobody reads: short is fine.
    writeFlash(kScratch, pattern(4096, 7));
    fault("short-reply", "d2:1");
    fault("short-reply", "c9:3");
    ASSERT_TRUE(mgr_->eraseFlashContents(veltrion::vreq::kFlashErase4K, kScratch, path_));
    EXPECT_EQ(flash(kScratch, 4096), std::vector<uint8_t>(4096, kErasedByte));
    EXPECT_EQ(transfers(0xC9), 1u);  // no retry either
    fault("short-reply", "0");

    // Half a flash page is no page: the read fails instead of passing on
    // bytes that never arrived.
    writeFlash(kScratch, pattern(256, 9));
    fault("short-reply", "c3:1");
    std::vector<uint8_t> out(256);
    EXPECT_FALSE(mgr_->readFlashContents(kScratch, out.data(), 256, path_));
    EXPECT_TRUE(log_.contains("short transfer of 128 bytes, 256 expected")) << log_.text();
}

TEST(CompChecksum, BootImagesUseTheirLastWordOthersFletcher) {
    setenv("VELTRION_SIM", "/nonexistent", 1);
    CapturingLogger log;
    veltrion::Veltrion2CamMgr mgr(true);
    mgr.setLogger(&log);
    const std::vector<uint8_t> image{1, 2, 3, 4, 0x78, 0x56, 0x34, 0x12};
    uint32_t sum = 0;
    for (int type : {0, 1, 2}) {
        ASSERT_TRUE(mgr.calcCompCheckSum(type, image.data(), 8, sum));
        EXPECT_EQ(sum, 0x12345678u);
    }
    ASSERT_TRUE(mgr.calcCompCheckSum(3, image.data(), 8, sum));
    EXPECT_EQ(sum, veltrion::fletcher16(image.data(), 8));
    EXPECT_FALSE(mgr.calcCompCheckSum(4, image.data(), 3, sum));
    EXPECT_EQ(log.text(), "Veltrion2CamMgr::calcCompCheckSum len 3 < 4\n");
    unsetenv("VELTRION_SIM");
}
