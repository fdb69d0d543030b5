// How a camera comes up from its flash, and what it then reports.

#include <cctype>

#include "Factory.h"
#include "SimFixture.h"
#include "device/CameraIdentity.h"
#include "format/ComponentHeader.h"
#include "format/FlashMap.h"

namespace camsim::test {
namespace {

using namespace veltrion::flashmap;

class BootTest : public SimBusTest {
protected:
    void corrupt(const std::string& name, uint32_t address) {
        auto byte = bus->readFlash(name, address, 1);
        byte[0] ^= 0x5A;
        bus->writeFlash(name, address, byte);
    }
};

TEST_F(BootTest, FactoryCameraRunsWithItsFactoryVersions) {
    bus->add("cam0");
    bus->add("cam1", 0xc002, "ABCDEF123456", false);
    const auto cam0 = bus->find("cam0");
    EXPECT_TRUE(cam0.present);
    EXPECT_FALSE(cam0.bootLoader);
    EXPECT_EQ(cam0.path, "sim:cam0:vid_3a7c&pid_0003:" + cam0.serial);
    EXPECT_EQ(cam0.serial.size(), 12u);

    auto handle = open("cam0");
    EXPECT_EQ(versions(*handle), (std::vector<std::string>{"C0.1.0.0", "F1.1.0.0", "A1.1.0.0", "I1.1.0.0"}));
    EXPECT_EQ(systemLoaded(*handle), 1);
    EXPECT_EQ(versions(*open("cam1"))[0], "X2.1.0.0");
    EXPECT_EQ(bus->state("cam0").running.fx3Source, Fx3Source::Main);
}

TEST_F(BootTest, DamagedMainFirmwareFallsBackToTheBackup) {
    bus->add("cam0");
    const auto backup = makeBackupFx3Firmware("C0.9.0.0");
    bus->writeFlash("cam0", kBackupFx3Address, backup);
    corrupt("cam0", kFx3Address + 1000);
    bus->replug("cam0");

    EXPECT_EQ(bus->state("cam0").running.fx3Source, Fx3Source::Backup);
    auto handle = open("cam0");
    EXPECT_EQ(versions(*handle)[0], "C0.9.0.0");
    EXPECT_EQ(systemLoaded(*handle), 1);
}

TEST_F(BootTest, WithoutABootableChainTheRomBootLoaderEnumerates) {
    bus->add("blank", AddOptions{0x0003, "", true, {}});
    bus->add("nofx3");
    corrupt("nofx3", kFx3Address + 1000);
    corrupt("nofx3", kBackupFx3Address + 1000);
    bus->add("noloader");
    corrupt("noloader", kBootLoaderAddress);  // the signature
    bus->replug("nofx3");
    bus->replug("noloader");

    for (const char* name : {"blank", "nofx3", "noloader"}) {
        const auto listing = bus->find(name);
        EXPECT_TRUE(listing.bootLoader) << name;
        EXPECT_EQ(listing.path, std::string("sim:") + name + ":vid_04b4&pid_00f3:") << name;
        auto handle = open(name);
        ASSERT_TRUE(handle);
        // Vendor requests stall; so does a RAM download outside the controller's RAM.
        EXPECT_EQ(systemLoaded(*handle), veltrion::kUsbErrorPipe);
        std::vector<uint8_t> reply;
        EXPECT_EQ(in(*handle, vreq::kBootLoaderDownload, 0, 0, reply, 16, vreq::kBootTypeIn),
                  veltrion::kUsbErrorPipe);
    }
    // The camera's own identity cannot open a boot loader.
    std::unique_ptr<veltrion::UsbHandle> handle;
    EXPECT_EQ(port->open("sim:blank:vid_3a7c&pid_0003:", handle), veltrion::kUsbErrorNoDevice);
}

TEST_F(BootTest, DamagedComponentsClearSystemLoaded) {
    bus->add("cam0");
    corrupt("cam0", kFpgaAddress + 5000);  // FPGA body: checksum mismatch
    auto handle = open("cam0");
    EXPECT_EQ(systemLoaded(*handle), 1);  // still running what it booted
    ASSERT_EQ(reset(*handle), 1);

    handle = open("cam0");
    EXPECT_EQ(systemLoaded(*handle), 0);
    EXPECT_EQ(versions(*handle), (std::vector<std::string>{"C0.1.0.0", "", "A1.1.0.0", "I1.1.0.0"}));

    bus->set("cam0", "system-loaded", "1");
    EXPECT_EQ(systemLoaded(*handle), 1);
    bus->set("cam0", "system-loaded", "auto");
    EXPECT_EQ(systemLoaded(*handle), 0);
}

TEST_F(BootTest, LongIspComponentMovesTheAudioComponent) {
    bus->add("cam0");
    const auto isp = makeIspComponent("I2.0.0.0", 0x14000);
    const auto audio = makeAudioComponent("A2.0.0.0", isp.size());
    ASSERT_EQ(veltrion::decodeComponentHeader(audio)->flashAddress, kAudioAddressAfterLongIsp);
    bus->writeFlash("cam0", kIspAddress, isp);
    bus->writeFlash("cam0", kAudioAddressAfterLongIsp, audio);
    bus->replug("cam0");
    auto handle = open("cam0");
    EXPECT_EQ(versions(*handle), (std::vector<std::string>{"C0.1.0.0", "F1.1.0.0", "A2.0.0.0", "I2.0.0.0"}));
    EXPECT_EQ(systemLoaded(*handle), 1);
}

TEST_F(BootTest, VersionsChangeOnlyAfterAReset) {
    bus->add("cam0");
    auto handle = open("cam0");
    bus->writeFlash("cam0", kFx3Address, makeFx3Firmware("C0.2.0.0"));
    bus->writeFlash("cam0", kFpgaAddress, makeFpgaComponent("F1.3.0.0"));
    EXPECT_EQ(versions(*handle)[0], "C0.1.0.0");

    ASSERT_EQ(reset(*handle), 1);
    handle = open("cam0");
    const auto after = versions(*handle);
    EXPECT_EQ(after[0], "C0.2.0.0");
    EXPECT_EQ(after[1], "F1.3.0.0");
}

// Tools that dump an FX3 image take the text at its first "ver" (any case) as
// its version, so the filler in front of the marker must not contain one.
TEST(FactoryImages, FirstVerIsTheVersionMarker) {
    for (const auto& image : {makeBootLoader("C0.1.0.0"), makeFx3Firmware("X2.1.0.0"), makeBackupFx3Firmware("S1.4.0.9")}) {
        size_t first = std::string::npos;
        for (size_t i = 0; i + 2 < image.size() && first == std::string::npos; ++i)
            if (std::tolower(image[i]) == 'v' && std::tolower(image[i + 1]) == 'e' && std::tolower(image[i + 2]) == 'r')
                first = i;
        ASSERT_NE(first, std::string::npos);
        EXPECT_EQ(std::string(image.begin() + static_cast<std::ptrdiff_t>(first),
                              image.begin() + static_cast<std::ptrdiff_t>(first + 8)),
                  "Version ");
    }
}

TEST_F(BootTest, RefusedSystemLoadedStalls) {
    bus->add("cam0");
    bus->fault("cam0", "refuse-df", "1");
    auto handle = open("cam0");
    EXPECT_EQ(systemLoaded(*handle), veltrion::kUsbErrorPipe);
    bus->fault("cam0", "refuse-df", "0");
    EXPECT_EQ(systemLoaded(*handle), 1);
}

}  // namespace
}  // namespace camsim::test
