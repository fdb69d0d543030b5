// Component headers, versions in file names, FX3 boot images and where a
// "VM" component may be placed.

#include <gtest/gtest.h>

#include "support/CapturingLogger.h"
#include "ImageTestSupport.h"
#include "format/ComponentHeader.h"
#include "format/Fx3BootImage.h"
#include "image/ComponentInfo.h"

using namespace imagetest;
using namespace veltrion::images;

namespace {

Bytes component(const std::string& name, uint32_t address = 0x0D0000) {
    veltrion::ComponentRecipe recipe;
    recipe.fileName = name;
    recipe.flashAddress = address;
    recipe.totalLength = 1000;
    recipe.tag = "ABCDEF";
    recipe.reserved = 0x11223344;
    return *veltrion::buildComponent(recipe);
}

}  // namespace

TEST(ComponentHeaderInfo, ReadsEveryFieldAndTheVersionOfTheName) {
    const Bytes bytes = component("isp_C1.2.3.4.bin");
    veltrion::ComponentHeaderInfo info;
    CapturingLogger log;
    ASSERT_TRUE(getHeaderInfoFromFlashFile(bytes, info, log)) << log.text();
    EXPECT_EQ(info.version, 0x43420304u);
    EXPECT_EQ(info.length, 1000u);
    EXPECT_EQ(info.reserved, 0x11223344u);
    EXPECT_EQ(info.flashAddress, 0x0D0000u);
    EXPECT_EQ(info.checksum, le16(bytes, 14));
    EXPECT_EQ(info.tag, "ABCDEF");
}

TEST(ComponentHeaderInfo, RefusesWhatIsNotAHeader) {
    veltrion::ComponentHeaderInfo info;
    {
        CapturingLogger log;
        Bytes bytes = component("isp_C1.2.3.4.bin");
        bytes[1] = 'X';
        EXPECT_FALSE(getHeaderInfoFromFlashFile(bytes, info, log));
        EXPECT_EQ(log.text(), "Veltrion2CamMgr::getHeaderInfoFromFlashFile - invalid signature byte V X\n");
        // A zero byte (erased or blank flash) is shown, and the line still ends.
        log.clear();
        bytes[0] = 0;
        EXPECT_FALSE(getHeaderInfoFromFlashFile(bytes, info, log));
        EXPECT_EQ(log.text(), "Veltrion2CamMgr::getHeaderInfoFromFlashFile - invalid signature byte \\0 X\n");
    }
    {
        CapturingLogger log;
        EXPECT_FALSE(getHeaderInfoFromFlashFile({}, info, log));
        EXPECT_EQ(log.text(), "Veltrion2CamMgr::getHeaderInfoFromFlashFile - invalid buffer pointer\n");
    }
    {
        CapturingLogger log;
        EXPECT_FALSE(getHeaderInfoFromFlashFile(component("isp_Q.bin"), info, log));
        EXPECT_EQ(log.text(),
                  "Veltrion2CamMgr::getVersion - invalid version format Q\n"
                  "Veltrion2CamMgr::getHeaderInfoFromFlashFile - invalid version Q\n");
    }
    {
        CapturingLogger log;
        EXPECT_FALSE(getHeaderInfoFromFlashFile(component("isp.C1.2.3.4_bin"), info, log));
        EXPECT_EQ(log.text(),
                  "Veltrion2CamMgr::getVersionStrFromFilename - invalid file name format isp.C1.2.3.4_bin\n"
                  "Veltrion2CamMgr::getHeaderInfoFromFlashFile - no version in header\n");
    }
}

TEST(VersionFromFileName, TextBetweenLastUnderscoreAndLastDot) {
    CapturingLogger log;
    std::string version;
    EXPECT_TRUE(getVersionStrFromFilename("fpga_v2_F1.2.0.0.bin", version, log));
    EXPECT_EQ(version, "F1.2.0.0");
    EXPECT_FALSE(getVersionStrFromFilename("fpgaF1.2.0.0.bin", version, log));
    EXPECT_TRUE(log.contains("invalid file name format fpgaF1.2.0.0.bin\n"));
    EXPECT_FALSE(getVersionStrFromFilename("fpga_F1", version, log));
    const std::string name31(27, 'a');
    EXPECT_TRUE(getVersionStrFromFilename(name31 + "_1.b", version, log));
    log.clear();
    EXPECT_FALSE(getVersionStrFromFilename(name31 + "_12.b", version, log));
    EXPECT_EQ(log.text(), "Veltrion2CamMgr::getVersionStrFromFilename - filename >= 32 characters\n");
}

TEST(VersionText, NumbersMustFitTheirPackedFields) {
    uint32_t packed = 0;
    CapturingLogger log;
    EXPECT_TRUE(convertVersionText("C3.63.255.255", packed, log));
    EXPECT_EQ(packed, 0x43FFFFFFu);
    // Each would spill into (or be cut from) a neighbouring field and alias another version.
    for (const char* text : {"F5.1.0.0", "C1.64.0.0", "C1.2.256.0", "C1.2.3.4294967296", "C-1.2.3.4"}) {
        log.clear();
        EXPECT_FALSE(convertVersionText(text, packed, log)) << text;
        EXPECT_EQ(log.text(),
                  "Veltrion2CamMgr::getVersion - version " + std::string(text) + " does not fit the packed version "
                  "fields\n");
    }
}

TEST(Fx3BootImageCheck, ValidImagePassesAndEachFaultHasItsLine) {
    veltrion::Fx3ImageRecipe recipe;
    recipe.versionText = "C0.1.2.3";
    recipe.imageSize = 4096;
    const Bytes good = *veltrion::buildFx3BootImage(recipe);
    CapturingLogger log;
    EXPECT_TRUE(isValidFx3Data(good.data(), good.size(), log));
    EXPECT_EQ(log.text(), "");

    const auto check = [](const uint8_t* data, size_t length) {
        CapturingLogger out;
        EXPECT_FALSE(isValidFx3Data(data, length, out));
        return out.text();
    };
    EXPECT_EQ(check(nullptr, 100), "Veltrion2CamMgr::isValidFx3Data - invalid data\n");
    EXPECT_EQ(check(good.data(), 4), "Veltrion2CamMgr::isValidFx3Data - invalid size\n");
    Bytes bad = good;
    bad[0] = 'X';
    EXPECT_EQ(check(bad.data(), bad.size()), "Veltrion2CamMgr::isValidFx3Data - invalid image signature 0x58 0x59\n");
    bad = good;
    bad.back() ^= 1;
    EXPECT_EQ(check(bad.data(), bad.size()), "Veltrion2CamMgr::isValidFx3Data - Invalid Image signature.\n");
    EXPECT_EQ(check(good.data(), good.size() - 8),
              "Veltrion2CamMgr::isValidFx3Data - data doesn't ended with zero data length\n");
    bad = good;
    putLe32(bad, 4, 0xFFFFFFFF);  // a first section far longer than the data
    EXPECT_EQ(check(bad.data(), bad.size()),
              "Veltrion2CamMgr::isValidFx3Data - data doesn't ended with zero data length\n");
}

TEST(VmPlacement, UsualAddressesAreAcceptedAndFixedRegionsRefused) {
    EXPECT_FALSE(vmPlacementProblem(VmKind::Fpga, 0x110000, 6 * 1024 * 1024));
    EXPECT_FALSE(vmPlacementProblem(VmKind::Isp, 0x0D0000, 0x18000));
    EXPECT_FALSE(vmPlacementProblem(VmKind::Audio, 0x0F0000, 0x8000));
    EXPECT_FALSE(vmPlacementProblem(VmKind::Audio, 0x7F0000, 0xFFFF));  // the flash's last sector is free
    EXPECT_TRUE(vmPlacementProblem(VmKind::Audio, 0x7F0000, 0x10000));  // two sectors: past the end
    EXPECT_TRUE(vmPlacementProblem(VmKind::Fpga, 0x110000, 6 * 1024 * 1024 + 1));
    EXPECT_TRUE(vmPlacementProblem(VmKind::Isp, 0x0B0000 - 0x10000, 100));
    EXPECT_TRUE(vmPlacementProblem(VmKind::Isp, 0x7C0000, 100));
    EXPECT_FALSE(vmPlacementProblem(VmKind::Isp, 0x7D0000, 100));
    EXPECT_TRUE(vmPlacementProblem(VmKind::Isp, 0xFFFF0000u, 100));
    EXPECT_EQ(vmRegionSize(VmKind::Audio, 65536), 0x20000u);
    // Off a sector start: what counts is the sectors the write erases from the one holding the address.
    EXPECT_FALSE(vmPlacementProblem(VmKind::Isp, 0x0D8000, 0x8000));
    EXPECT_TRUE(vmPlacementProblem(VmKind::Isp, 0x0D8000, 0x8001));
    EXPECT_TRUE(vmPlacementProblem(VmKind::Audio, 0x0A8000, 100));  // its sector is the LUT's
    EXPECT_FALSE(vmPlacementProblem(VmKind::Fpga, 0x110100, 6 * 1024 * 1024 - 0x100));
    EXPECT_TRUE(vmPlacementProblem(VmKind::Fpga, 0x110100, 6 * 1024 * 1024 - 0xFF));
}
