// The flash protocol on a camera that misbehaves: refused requests, a status
// stuck at busy, transfers that fail a few times, power lost mid-write.

#include <chrono>

#include "Factory.h"
#include "FlashFixture.h"
#include "format/FlashMap.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {
constexpr uint32_t kFree = 0x300000;  // erased in the factory flash
}

TEST_F(FlashTest, FirmwareWithoutSyncStatusCompletesAComponentWithOneNotice) {
    fault("refuse-c1", "1");
    const auto fpga = camsim::makeFpgaComponent("F1.2.0.0", 256 * 1024);
    ASSERT_TRUE(mgr_->programFPGAFlash(true, fpga.data(), static_cast<uint32_t>(fpga.size()),
                                       veltrion::flashmap::kFpgaAddress, path_));
    EXPECT_EQ(logCount("Veltrion2CamMgr::waitForFlashWritingDone - fw not support 0xC1 sync status read. Using 0xC4\n"),
              1u);
    EXPECT_EQ(transfers(0xC1), 1u);
    EXPECT_GE(transfers(0xC4), 96u + 1024u);  // every later erase and page waits with 0xC4
    EXPECT_EQ(flash(veltrion::flashmap::kFpgaAddress, static_cast<uint32_t>(fpga.size())), fpga);
}

TEST_F(FlashTest, StatusStuckBusyFailsAfterItsTime) {
    fault("busy-stuck", "1");
    const auto start = Clock::now();
    EXPECT_FALSE(mgr_->eraseFlashContents(0xC9, kFree, path_));
    EXPECT_GE(Clock::now() - start, 2000ms);
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::waitForFlashWritingDone (c1) - flash writing timeout 2000 msecs\n"));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::eraseFlashSector failed - erase sector 0x00300000 timeout\n"));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::eraseFlashContents failed - unable to erase 0x00300000.\n"));

    // After a page the wait's outcome is not checked: the run goes on and
    // verification decides.
    auto session = openInSpiMode();
    uint8_t sync = 1;
    const auto data = pattern(512, 4);
    const auto pageStart = Clock::now();
    mgr_->programFlash(kFree, data.data(), 512, false, sync);
    EXPECT_GE(Clock::now() - pageStart, 200ms);
    EXPECT_EQ(transfers(0xC2), 2u);
    EXPECT_EQ(logCount("flash writing timeout 100 msecs\n"), 2u);
}

TEST_F(FlashTest, PageProgramRetriesWithReopenTailWithout) {
    auto session = openInSpiMode();
    uint8_t sync = 1;
    const auto data = pattern(512 + 10, 6);
    fault("fail-next", "c2:2");
    ASSERT_TRUE(mgr_->programFlash(kFree, data.data(), 512, true, sync));
    EXPECT_TRUE(log_.contains("programFlash failed on send control transfer. Retry now 0. max retry 2\n"));
    EXPECT_TRUE(log_.contains("programFlash failed on send control transfer. Retry now 1. max retry 2\n"));
    EXPECT_EQ(logCount("reopenVeltrion2Dev: reopenning dev"), 2u);
    EXPECT_EQ(flash(kFree, 512), std::vector<uint8_t>(data.begin(), data.begin() + 512));

    log_.clear();
    fault("fail-next", "c2:2");
    ASSERT_TRUE(mgr_->programFlash(kFree + 512, data.data() + 512, 10, true, sync));
    EXPECT_TRUE(log_.contains("for remaining bytes 10. Retry now 1. max retry 2\n"));
    EXPECT_EQ(logCount("reopenVeltrion2Dev"), 0u);

    fault("fail-next", "c2:3");
    EXPECT_FALSE(mgr_->programFlash(kFree + 0x1000, data.data(), 256, true, sync));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::programFlash failed - control transfer failed at index 0\n"));
    fault("fail-next", "c2:3");
    EXPECT_FALSE(mgr_->programFlash(kFree + 0x1000, data.data(), 10, true, sync));
    EXPECT_TRUE(log_.contains("programFlash failed - control transfer failed at index 0, remaining bytes 10\n"));
}

TEST_F(FlashTest, EraseStatusAndVerifyRetryThreeTimes) {
    auto session = openInSpiMode();
    uint8_t sync = 1;
    fault("fail-next", "c7:2");
    EXPECT_TRUE(mgr_->eraseFlashSectors(0x30, 0, 1, sync));
    EXPECT_TRUE(log_.contains("eraseFlashSector failed on control transfer erase. Retry 1 now. Max retry 2\n"));
    fault("fail-next", "c7:3");
    EXPECT_FALSE(mgr_->eraseFlashSectors(0x30, 0, 1, sync));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::eraseFlashSector failed - unable to erase sectors at 0x00300000\n"));
    EXPECT_TRUE(log_.contains("eraseFlashSectors - failed at erasing sector at 0x00300000\n"));

    session.reset();  // a failed erase closes the camera
    session = openInSpiMode();
    sync = 0;                   // the plain status request from the start
    fault("fail-next", "c4:2");
    EXPECT_TRUE(mgr_->waitForFlashWritingDone(2000, sync));
    fault("fail-next", "c4:3");
    EXPECT_FALSE(mgr_->waitForFlashWritingDone(2000, sync));
    EXPECT_TRUE(log_.contains("waitForFlashWritingDone failed at control transfer command c4. Retry 1 now. Max retry 2\n"));
    EXPECT_TRUE(log_.contains("waitForFlashWritingDone failed at send control transfer command c4. timeout = 2000\n"));

    const auto data = pattern(300, 8);
    sync = 1;
    ASSERT_TRUE(mgr_->programFlash(kFree, data.data(), 300, false, sync));
    fault("fail-next", "c3:2");
    EXPECT_TRUE(mgr_->verifyFlashContents(kFree, data.data(), 300));
    fault("fail-next", "c3:3");
    EXPECT_FALSE(mgr_->verifyFlashContents(kFree, data.data(), 300));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::verifyFlashContents failed to read flash at addr 3145728\n"));
}

TEST_F(FlashTest, WriteCutByPowerLossLeavesErasedSignatureThatIsRewritten) {
    using veltrion::flashmap::kIspAddress;
    const auto isp = camsim::makeIspComponent("I1.2.0.0", 40 * 1024);
    const auto size = static_cast<uint32_t>(isp.size());
    fault("power-loss-after-pages", "20");
    EXPECT_FALSE(mgr_->programISPFlash(false, isp.data(), size, kIspAddress, path_));
    bus_->replug(kCamera);
    EXPECT_EQ(flash(kIspAddress, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(flash(kIspAddress + 2, 20 * 256 - 2), std::vector<uint8_t>(isp.begin() + 2, isp.begin() + 20 * 256));

    log_.clear();
    ASSERT_TRUE(mgr_->programIfCheckSumNotMatch(true, 'V', 'M', kIspAddress, 0x10000, isp.data(), size, path_, "ISP"));
    EXPECT_TRUE(log_.contains("programIfCheckSumNotMatch - updating ISP as it has invalid signature\n"));
    EXPECT_EQ(flash(kIspAddress, size), isp);
}

TEST_F(FlashTest, FailedReadModifyWritePutsTheSectorBack) {
    using veltrion::flashmap::kJsonAddress;
    const auto before = flash(kJsonAddress, veltrion::flashmap::kSector4K);
    ASSERT_EQ(before[0], 'F');  // the factory JSON record's header lives here
    const std::vector<uint8_t> patch = {1, 2, 3, 4};

    // Every attempt at the first page fails: the erased sector gets its
    // bytes back, not just the user's four.
    fault("fail-next", "c2:3");
    EXPECT_FALSE(mgr_->updateFlashContents(kJsonAddress + 0x100, patch.data(), 4, true, path_));
    EXPECT_TRUE(log_.contains("updateFlashContents - writing block 0x007e0000 failed, writing its old content back\n"));
    EXPECT_TRUE(log_.contains("updateFlashContents - block 0x007e0000 holds its old content again\n"));
    EXPECT_EQ(flash(kJsonAddress, veltrion::flashmap::kSector4K), before);

    // A sector that cannot be erased is written back as well.
    log_.clear();
    fault("fail-next", "c9:3");
    EXPECT_FALSE(mgr_->updateFlashContents(kJsonAddress + 0x100, patch.data(), 4, true, path_));
    EXPECT_TRUE(log_.contains("holds its old content again\n")) << log_.text();
    EXPECT_EQ(flash(kJsonAddress, veltrion::flashmap::kSector4K), before);
}
