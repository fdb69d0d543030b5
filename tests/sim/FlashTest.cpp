// The camera's flash side: NOR semantics, SPI mode, status and timing,
// the checksum query, counters and the flash faults.

#include <chrono>

#include "Factory.h"
#include "NorFlash.h"
#include "SimFixture.h"
#include "format/ComponentHeader.h"
#include "format/FlashMap.h"
#include "base/ByteLayout.h"
#include "base/VersionNumber.h"

namespace camsim::test {
namespace {

using namespace veltrion::flashmap;
constexpr uint8_t kSyncStatus = 0xC1;
constexpr uint8_t kPlainStatus = 0xC4;

TEST(NorFlash, ProgramClearsBitsAndWrapsInsideItsPage) {
    std::vector<uint8_t> bytes(2 * kSector64K, kErasedByte);
    NorFlash flash(bytes);
    ASSERT_TRUE(flash.program(0x100, std::vector<uint8_t>{0xF0}));
    ASSERT_TRUE(flash.program(0x100, std::vector<uint8_t>{0x3C}));
    EXPECT_EQ(bytes[0x100], 0x30);  // never sets a bit back

    ASSERT_TRUE(flash.program(0x2FE, std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(bytes[0x2FE], 1);
    EXPECT_EQ(bytes[0x2FF], 2);
    EXPECT_EQ(bytes[0x200], 3);  // wrapped to the start of the same page
    EXPECT_EQ(bytes[0x201], 4);
    EXPECT_EQ(bytes[0x300], kErasedByte);

    EXPECT_FALSE(flash.program(0x100, std::vector<uint8_t>(257, 0)));
    EXPECT_FALSE(flash.program(0x100, {}));
    EXPECT_FALSE(flash.program(flash.size(), std::vector<uint8_t>{0}));
    std::vector<uint8_t> out(2);
    EXPECT_FALSE(flash.read(flash.size() - 1, out));
}

TEST(NorFlash, EraseSetsTheWholeAlignedSector) {
    std::vector<uint8_t> bytes(2 * kSector64K, 0x00);
    NorFlash flash(bytes);
    ASSERT_TRUE(flash.erase(0x1234, kSector4K));
    EXPECT_EQ(bytes[0x0FFF], 0x00);
    EXPECT_EQ(bytes[0x1000], kErasedByte);
    EXPECT_EQ(bytes[0x1FFF], kErasedByte);
    EXPECT_EQ(bytes[0x2000], 0x00);
    ASSERT_TRUE(flash.erase(0x18001, kSector32K));
    EXPECT_EQ(bytes[0x17FFF], 0x00);
    EXPECT_EQ(bytes[0x18000], kErasedByte);
    ASSERT_TRUE(flash.erase(0x1FFFF, kSector64K));
    EXPECT_EQ(bytes[0x10000], kErasedByte);
    EXPECT_EQ(bytes[0xFFFF], 0x00);
    EXPECT_FALSE(flash.erase(flash.size(), kSector4K));
}

class FlashTest : public SimBusTest {
protected:
    void SetUp() override {
        SimBusTest::SetUp();
        bus->add("cam0");
        handle = open("cam0");
    }
    void TearDown() override {
        handle.reset();
        SimBusTest::TearDown();
    }

    static uint16_t high(uint32_t address) { return static_cast<uint16_t>(address >> 16); }
    static uint16_t low(uint32_t address) { return static_cast<uint16_t>(address & 0xFFFF); }

    int enterSpi(uint16_t index = 1) {
        std::vector<uint8_t> reply;
        return in(*handle, vreq::kSpiModeEnter, 0, index, reply, 1);
    }
    int program(uint32_t address, std::vector<uint8_t> data) {
        return out(*handle, vreq::kFlashProgram, high(address), low(address), std::move(data));
    }
    std::vector<uint8_t> read(uint32_t address, uint16_t length, int* result = nullptr) {
        std::vector<uint8_t> reply;
        const int r = in(*handle, vreq::kFlashRead, high(address), low(address), reply, length);
        if (result) *result = r;
        return reply;
    }
    int erase(uint8_t request, uint32_t address) {
        std::vector<uint8_t> reply;
        return in(*handle, request, high(address), low(address), reply, 1);
    }
    // Busy bit of the status, or a negative transfer error.
    int status(uint8_t request = kSyncStatus) {
        std::vector<uint8_t> reply;
        const int result = in(*handle, request, 0, 0, reply, 2);
        return result == 2 ? (reply[0] & 1) : result;
    }
    struct Checksum {
        int result = 0;
        uint8_t flag = 0xEE;
        uint32_t expected = 0;
        uint32_t calculated = 0;
    };
    Checksum checksum(uint16_t type) {
        std::vector<uint8_t> reply;
        Checksum answer;
        answer.result = in(*handle, vreq::kQuery, type, vreq::kQueryComponentChecksum, reply, 9);
        if (answer.result == 9) {
            const veltrion::ByteReader reader(reply);
            answer.flag = reply[0];
            answer.expected = *reader.le32(1);
            answer.calculated = *reader.le32(5);
        }
        return answer;
    }

    std::unique_ptr<veltrion::UsbHandle> handle;
};

TEST_F(FlashTest, ProgramAndEraseNeedSpiModeReadsDoNot) {
    EXPECT_EQ(read(kFx3Address, 2), (std::vector<uint8_t>{'C', 'Y'}));
    EXPECT_EQ(program(0x0B0000, {0x00}), veltrion::kUsbErrorPipe);
    EXPECT_EQ(erase(vreq::kFlashErase4K, 0x0B0000), veltrion::kUsbErrorPipe);

    EXPECT_EQ(enterSpi(0), veltrion::kUsbErrorPipe);  // a V3 camera wants index 1
    ASSERT_EQ(enterSpi(1), 1);
    EXPECT_TRUE(bus->state("cam0").run.spiMode);
    ASSERT_EQ(program(0x0B0010, {0x12, 0x34}), 2);
    EXPECT_EQ(read(0x0B0010, 3), (std::vector<uint8_t>{0x12, 0x34, 0xFF}));

    std::vector<uint8_t> reply;
    ASSERT_EQ(in(*handle, vreq::kSpiModeLeave, 0, 0, reply, 1), 1);
    EXPECT_EQ(program(0x0B0020, {0x00}), veltrion::kUsbErrorPipe);

    // Requests that do not fit the flash or a page stall.
    ASSERT_EQ(enterSpi(), 1);
    EXPECT_EQ(program(kFlashSize, {0x00}), veltrion::kUsbErrorPipe);
    EXPECT_EQ(program(0x0B0000, std::vector<uint8_t>(257, 0)), veltrion::kUsbErrorPipe);
    int result = 0;
    read(kFlashSize - 1, 2, &result);
    EXPECT_EQ(result, veltrion::kUsbErrorPipe);
    read(0, 512, &result);
    EXPECT_EQ(result, veltrion::kUsbErrorPipe);
    EXPECT_EQ(in(*handle, vreq::kFlashProgram, 8, 0, reply, 1), veltrion::kUsbErrorPipe);  // program is host-to-device

    // A reset hands the flash back to the controller.
    ASSERT_EQ(reset(*handle), 1);
    handle = open("cam0");
    EXPECT_FALSE(bus->state("cam0").run.spiMode);
    EXPECT_EQ(program(0x0B0020, {0x00}), veltrion::kUsbErrorPipe);
}

TEST_F(FlashTest, OlderFirmwareIgnoresTheSpiModeIndex) {
    bus->add("v2", 0x0002, "", false);
    handle = open("v2");
    EXPECT_EQ(enterSpi(0), 1);
    EXPECT_EQ(program(0x0B0000, {0x00}), 1);
}

TEST_F(FlashTest, ErasesCountBySizeAndProgramsCountByPage) {
    ASSERT_EQ(enterSpi(), 1);
    ASSERT_EQ(erase(vreq::kFlashErase64K, 0x090123), 1);
    ASSERT_EQ(erase(vreq::kFlashErase32K, 0x0A8000), 1);
    ASSERT_EQ(erase(vreq::kFlashErase4K, 0x0B1FFF), 1);
    EXPECT_EQ(bus->readFlash("cam0", 0x090000, kSector64K), std::vector<uint8_t>(kSector64K, kErasedByte));
    for (int page = 0; page < 3; ++page) ASSERT_EQ(program(0x090000 + page * kPageSize, std::vector<uint8_t>(256, 0x42)), 256);
    EXPECT_EQ(status(), 0);
    EXPECT_EQ(status(kPlainStatus), 0);
    handle.reset();

    const auto stats = bus->stats("cam0");
    EXPECT_EQ(stats.at("sectors-erased-64k"), 1u);
    EXPECT_EQ(stats.at("sectors-erased-32k"), 1u);
    EXPECT_EQ(stats.at("sectors-erased-4k"), 1u);
    EXPECT_EQ(stats.at("pages-programmed"), 3u);
    EXPECT_EQ(stats.at("status-polls"), 2u);
    EXPECT_EQ(stats.at("transfers-0xc2"), 3u);
    EXPECT_EQ(stats.at("transfers-0xd2"), 1u);
}

TEST_F(FlashTest, StatusIsBusyWhileAnEraseRuns) {
    bus->set("cam0", "timing", "realistic");
    ASSERT_EQ(enterSpi(), 1);
    bus->writeFlash("cam0", 0x0A0000, {0x00});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(erase(vreq::kFlashErase64K, 0x0A0000), 1);
    EXPECT_EQ(status(), 1);
    // A read waits for the erase to finish, as the controller must.
    EXPECT_EQ(read(0x0A0000, 1), std::vector<uint8_t>{kErasedByte});
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(bus->state("cam0").timing.erase64kUs));
    EXPECT_EQ(status(), 0);
}

TEST_F(FlashTest, StatusFaults) {
    bus->fault("cam0", "refuse-c1", "1");
    EXPECT_EQ(status(kSyncStatus), veltrion::kUsbErrorPipe);
    EXPECT_EQ(status(kPlainStatus), 0);
    bus->fault("cam0", "busy-stuck", "1");
    EXPECT_EQ(status(kPlainStatus), 1);
    bus->fault("cam0", "busy-stuck", "0");
    EXPECT_EQ(status(kPlainStatus), 0);
}

TEST_F(FlashTest, FailNextFailsOnlyThatRequestAndOnlyNTimes) {
    ASSERT_EQ(enterSpi(), 1);
    bus->fault("cam0", "fail-next", "c2:2");
    EXPECT_EQ(program(0x0B0000, {0x00}), veltrion::kUsbErrorIo);
    EXPECT_EQ(read(0x0B0000, 1), std::vector<uint8_t>{kErasedByte});  // other requests work
    EXPECT_EQ(program(0x0B0000, {0x00}), veltrion::kUsbErrorIo);
    EXPECT_EQ(read(0x0B0000, 1), std::vector<uint8_t>{kErasedByte});  // failed writes did nothing
    EXPECT_EQ(program(0x0B0000, {0x00}), 1);
    EXPECT_TRUE(bus->state("cam0").faults.failNext.empty());
    EXPECT_EQ(bus->stats("cam0").at("transfers-0xc2"), 3u);
}

TEST_F(FlashTest, PowerLossAfterPagesTakesTheCameraOffTheBusUntilReplugged) {
    ASSERT_EQ(enterSpi(), 1);
    bus->fault("cam0", "power-loss-after-pages", "2");
    EXPECT_EQ(program(0x0B0000, {0x01}), 1);
    EXPECT_EQ(program(0x080100, {0x02}), 1);
    EXPECT_EQ(program(0x080200, {0x03}), veltrion::kUsbErrorNoDevice);
    EXPECT_EQ(status(), veltrion::kUsbErrorNoDevice);
    EXPECT_FALSE(bus->find("cam0").present);
    std::unique_ptr<veltrion::UsbHandle> again;
    EXPECT_EQ(port->open(bus->find("cam0").path, again), veltrion::kUsbErrorNoDevice);
    EXPECT_EQ(bus->readFlash("cam0", 0x080100, 1), std::vector<uint8_t>{0x02});
    EXPECT_EQ(bus->readFlash("cam0", 0x080200, 1), std::vector<uint8_t>{kErasedByte});

    handle.reset();
    bus->replug("cam0");
    const auto state = bus->state("cam0");
    EXPECT_TRUE(bus->find("cam0").present);
    EXPECT_EQ(state.faults.powerLossAfterPages, 0u);  // fired once
    EXPECT_EQ(state.counters.powerCycles, 1u);
    handle = open("cam0");
    EXPECT_EQ(systemLoaded(*handle), 1);
    EXPECT_EQ(program(0x080300, {0x00}), veltrion::kUsbErrorPipe);  // SPI mode did not survive
}

TEST_F(FlashTest, ChecksumQueryOfFactoryFirmwareMatches) {
    const auto fx3 = makeFx3Firmware("C0.1.0.0");
    const veltrion::ByteReader fx3Reader(fx3);
    const auto fpga = veltrion::decodeComponentHeader(bus->readFlash("cam0", kFpgaAddress, 256));
    ASSERT_TRUE(fpga);
    for (uint16_t type = 0; type <= 5; ++type) {
        const auto answer = checksum(type);
        ASSERT_EQ(answer.result, 9) << type;
        EXPECT_EQ(answer.flag, 0) << type;
        EXPECT_EQ(answer.expected, answer.calculated) << type;
        EXPECT_NE(answer.expected, 0u) << type;
    }
    EXPECT_EQ(checksum(1).expected, *fx3Reader.le32(fx3.size() - 4));  // the image's last four bytes
    EXPECT_EQ(checksum(3).expected, fpga->checksum);                    // the header's checksum
    EXPECT_EQ(checksum(6).result, veltrion::kUsbErrorPipe);
}

TEST_F(FlashTest, ChecksumQueryOfDamagedOrUnfinishedComponents) {
    // A changed byte in the FPGA body, an FX3 image whose signature is not yet
    // written, an erased backup region.
    auto byte = bus->readFlash("cam0", kFpgaAddress + 1000, 1);
    byte[0] ^= 1;
    bus->writeFlash("cam0", kFpgaAddress + 1000, byte);
    bus->writeFlash("cam0", kBootLoaderAddress, {0xFF, 0xFF});
    bus->writeFlash("cam0", kBackupFx3Address, std::vector<uint8_t>(kBackupFx3RegionSize, kErasedByte));
    bus->writeFlash("cam0", kIspAddress, {0xFF, 0xFF});
    for (uint16_t type : {0, 2, 3, 4}) {
        const auto answer = checksum(type);
        ASSERT_EQ(answer.result, 9) << type;
        EXPECT_NE(answer.flag, 0) << type;
        // A consistent mismatch: both values present and different.
        EXPECT_NE(answer.expected, answer.calculated) << type;
        EXPECT_NE(answer.expected, 0u) << type;
        EXPECT_NE(answer.calculated, 0u) << type;
    }
    EXPECT_EQ(checksum(1).flag, 0);  // the main FX3 firmware is untouched
}

TEST_F(FlashTest, ChecksumQueryFaults) {
    bus->fault("cam0", "checksum-inconsistent", "1");
    auto answer = checksum(0);
    EXPECT_NE(answer.flag, 0);
    EXPECT_EQ(answer.expected, answer.calculated);
    bus->fault("cam0", "checksum-inconsistent", "0");
    bus->fault("cam0", "refuse-checksum", "1");
    EXPECT_EQ(checksum(0).result, veltrion::kUsbErrorPipe);
}

TEST_F(FlashTest, Led) {
    std::vector<uint8_t> reply;
    ASSERT_EQ(in(*handle, vreq::kLed, 1, 0, reply, 1), 1);
    EXPECT_TRUE(bus->state("cam0").run.led);
    ASSERT_EQ(in(*handle, vreq::kLed, 0, 0, reply, 1), 1);
    EXPECT_FALSE(bus->state("cam0").run.led);
    EXPECT_EQ(in(*handle, vreq::kLed, 2, 0, reply, 1), veltrion::kUsbErrorPipe);
}

TEST_F(FlashTest, FlashWrittenThroughRequestsBootsAfterReset) {
    // A new FX3 firmware written the way the host does it: erase, program
    // page by page with the signature last, reset.
    const auto image = makeFx3Firmware("C0.3.0.0");
    ASSERT_EQ(enterSpi(), 1);
    for (uint32_t sector = 0; sector < kFx3RegionSize / kSector64K; ++sector)
        ASSERT_EQ(erase(vreq::kFlashErase64K, kFx3Address + sector * kSector64K), 1);
    for (size_t offset = 0; offset < image.size(); offset += kPageSize) {
        std::vector<uint8_t> page(image.begin() + static_cast<std::ptrdiff_t>(offset),
                                  image.begin() + static_cast<std::ptrdiff_t>(std::min(image.size(), offset + kPageSize)));
        if (offset == 0) page[0] = page[1] = kErasedByte;
        ASSERT_EQ(program(kFx3Address + static_cast<uint32_t>(offset), page), static_cast<int>(page.size()));
    }
    EXPECT_NE(checksum(1).flag, 0);  // no signature yet
    ASSERT_EQ(program(kFx3Address, {'C', 'Y'}), 2);
    EXPECT_EQ(checksum(1).flag, 0);
    EXPECT_EQ(versions(*handle)[0], "C0.1.0.0");
    ASSERT_EQ(reset(*handle), 1);
    handle = open("cam0");
    EXPECT_EQ(versions(*handle)[0], "C0.3.0.0");
}

}  // namespace
}  // namespace camsim::test
