// Reading single images: what a valid image yields, and every refusal.

#include <gtest/gtest.h>

#include <functional>

#include "support/CapturingLogger.h"
#include "ImageTestSupport.h"
#include "format/ComponentHeader.h"
#include "format/Fx3BootImage.h"
#include "image/UpdateImage.h"

using namespace imagetest;
using veltrion::UpdatePackage;

namespace {

Bytes vm(const std::string& name, uint32_t address, size_t size) {
    veltrion::ComponentRecipe recipe;
    recipe.fileName = name;
    recipe.flashAddress = address;
    recipe.totalLength = size;
    recipe.seed = 9;
    return *veltrion::buildComponent(recipe);
}

HandImage twoCameras() {
    HandImage image;
    image.serials = {"A1B2C3D4E5F6", "000000000042"};
    image.luts = {expectedLut(7), expectedLut(0x8000)};
    image.alignments = {{{1, 2, 3, 4, 5}}, {{0xFFFF, 0x1234, 0, 0x8000, 9}}};
    return image;
}

struct Parse {
    bool ok;
    UpdatePackage package;
    CapturingLogger log;
};

void parse(const Bytes& file, Parse& result) {
    result.package.fx3.assign(3, 1);  // left over from an earlier use: must be gone
    result.ok = veltrion::images::parseUpdatePackage(file, result.package, result.log);
}

}  // namespace

TEST(SingleImageParse, ValidImageWithoutTablesYieldsEveryComponent) {
    const Components c = makeComponents();
    HandImage hand;
    hand.fx3Version = 0x43000102;
    hand.backupFx3Version = 0x43000103;
    hand.bootloaderVersion = 0x43000104;
    Parse r;
    parse(buildSingleImage(c, hand), r);
    ASSERT_TRUE(r.ok) << r.log.text();
    const UpdatePackage& p = r.package;
    EXPECT_EQ(p.fpga.data, c.fpga);
    EXPECT_EQ(p.audio.data, c.audio);
    EXPECT_EQ(p.isp.data, c.isp);
    EXPECT_EQ(p.fx3, c.fx3);
    EXPECT_EQ(p.bootloader, c.bootloader);
    EXPECT_EQ(p.backupFx3, c.backupFx3);
    EXPECT_EQ(p.json, c.json);
    EXPECT_EQ(p.auxBlob, c.aux);
    EXPECT_EQ(p.fpga.version, 0x46420000u);  // F1.2.0.0
    EXPECT_EQ(p.audio.version, 0x41430000u);
    EXPECT_EQ(p.isp.version, 0x49440000u);
    EXPECT_EQ(p.fpga.flashAddress, 0x110000u);
    EXPECT_EQ(p.audio.flashAddress, 0x0E0000u);
    EXPECT_EQ(p.isp.flashAddress, 0x0D0000u);
    EXPECT_EQ(p.fx3Version, 0x43000102u);
    EXPECT_EQ(p.backupFx3Version, 0x43000103u);
    EXPECT_EQ(p.bootloaderVersion, 0x43000104u);
    EXPECT_TRUE(p.serialNumbers.empty());
    EXPECT_TRUE(p.lutData.empty());
    EXPECT_TRUE(r.log.contains("Veltrion2CamMgr::parseUpdatePackage: no lookup tables in img file\n"));
}

TEST(SingleImageParse, EmptyAuxiliaryBlobIsAccepted) {
    Components c = makeComponents();
    c.aux.clear();
    Parse r;
    parse(buildSingleImage(c), r);
    ASSERT_TRUE(r.ok) << r.log.text();
    EXPECT_TRUE(r.package.auxBlob.empty());
}

TEST(SingleImageParse, TwoCamerasCarryTablesAlignmentAndSerials) {
    const Bytes file = buildSingleImage(makeComponents(), twoCameras());
    EXPECT_EQ(le32(file, 20), 100u);
    Parse r;
    parse(file, r);
    ASSERT_TRUE(r.ok) << r.log.text();
    ASSERT_EQ(r.package.serialNumbers, (std::vector<std::string>{"A1B2C3D4E5F6", "000000000042"}));
    const Bytes first(r.package.lookupTable(0).begin(), r.package.lookupTable(0).end());
    const Bytes second(r.package.lookupTable(1).begin(), r.package.lookupTable(1).end());
    EXPECT_EQ(first, expectedLut(7));
    EXPECT_EQ(second, expectedLut(0x8000));
    ASSERT_EQ(r.package.alignmentData.size(), 2u);
    EXPECT_EQ(r.package.alignmentData[1], (veltrion::AlignmentValues{0xFFFF, 0x1234, 0, 0x8000, 9}));
    EXPECT_FALSE(r.log.contains("no lookup tables"));
}

// Each case breaks one thing of a valid image; the parse must fail with the
// named line and leave the record empty.
struct Refusal {
    const char* name;
    std::function<Bytes()> make;
    const char* message;
};

class SingleImageRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(SingleImageRefusal, FailsWithItsLineAndLeavesNothing) {
    Parse r;
    parse(GetParam().make(), r);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.log.contains(GetParam().message)) << r.log.text();
    EXPECT_TRUE(r.package.fx3.empty());
    EXPECT_TRUE(r.package.fpga.data.empty());
    EXPECT_TRUE(r.package.serialNumbers.empty());
}

Bytes valid() { return buildSingleImage(makeComponents()); }

Bytes withComponents(void (*change)(Components&)) {
    Components c = makeComponents();
    change(c);
    return buildSingleImage(c);
}

const Refusal kSingleRefusals[] = {
    {"Empty", [] { return Bytes(); }, "Veltrion2CamMgr::parseUpdatePackage - invalid package - buf"},
    {"ShorterThanHeader", [] { return Bytes(75, 'V'); },
     "Veltrion2CamMgr::parseUpdatePackage - invalid package size. header size < 76\n"},
    {"WrongMagic",
     [] {
         Bytes f = valid();
         f[3] = 'X';
         return f;
     },
     "invalid package magic \"VLTX\" expecting \"VLTN\"\n"},
    {"UnifiedMagic",
     [] {
         Bytes f = valid();
         f[1] = 'U', f[2] = 'N', f[3] = 'I';
         return f;
     },
     "invalid package magic \"VUNI\" expecting \"VLTN\"\n"},
    {"HeaderVersion2",
     [] {
         Bytes f = valid();
         putLe16(f, 4, 2);
         return f;
     },
     "Veltrion2CamMgr::parseUpdatePackage - unsupported image header version 0x02, expected version 0x03\n"},
    {"HeaderLengthDisagreesWithCount",
     [] {
         Bytes f = valid();
         putLe32(f, 72, 1);
         return f;
     },
     "Veltrion2CamMgr::parseUpdatePackage - invalid header size - expect 88, actual 76\n"},
    {"HeaderLongerThanFile",
     [] {
         Bytes f = valid();
         const uint32_t n = static_cast<uint32_t>(f.size() / 12);  // header of 76 + 12 n > file
         putLe32(f, 72, n);
         putLe32(f, 20, 76 + 12 * n);
         return f;
     },
     "invalid package size. header size < "},
    {"HeaderCountWrapping32Bits",
     [] {
         Bytes f = valid();
         // 76 + 12 n wraps to 76 in 32 bits; it must not be taken as a match.
         putLe32(f, 72, 0x40000000);
         return f;
     },
     "invalid header size - expect 12884901964, actual 76\n"},
    {"BodyByteChanged",
     [] {
         Bytes f = valid();
         f[f.size() / 2] ^= 0x01;
         return f;
     },
     "Veltrion2CamMgr::parseUpdatePackage - mismatched md5 checksum\n"},
    {"Compressed",
     [] {
         Bytes f = valid();
         putLe16(f, 6, 1);
         return f;
     },
     "Veltrion2CamMgr::parseUpdatePackage -unsupported compress type\n"},
    {"BodyLongerThanDescribed",
     [] {
         Bytes f = valid();
         f.push_back(0);
         resealMd5(f);
         return f;
     },
     "invalid image size - expect uncompressed body size "},
    {"Fx3SignatureBroken", [] { return withComponents([](Components& c) { c.fx3[1] = 'Z'; }); },
     "Veltrion2CamMgr::parseUpdatePackage - invalid fx3 or backup fx3 signature\n"},
    {"BackupFx3Empty", [] { return withComponents([](Components& c) { c.backupFx3.clear(); }); },
     "invalid fx3 or backup fx3 signature\n"},
    {"FpgaChecksumWrong", [] { return withComponents([](Components& c) { c.fpga.back() ^= 0xFF; }); },
     "for fpga file\n"},
    {"AudioHeaderLengthWrong", [] { return withComponents([](Components& c) { c.audio[2] ^= 0x01; }); },
     "for audio file\n"},
    {"FpgaSignatureWrong", [] { return withComponents([](Components& c) { c.fpga[0] = 'X'; }); },
     "Veltrion2CamMgr::parseUpdatePackage -failed to get header for fpga file\n"},
    {"AudioShorterThanHeader", [] { return withComponents([](Components& c) { c.audio.resize(200); }); },
     "Veltrion2CamMgr::parseUpdatePackage -failed to get header for audio file\n"},
    {"IspNameWithoutVersion",
     [] { return withComponents([](Components& c) { c.isp = vm("ispimage.bin", 0x0D0000, 1024); }); },
     "Veltrion2CamMgr::getHeaderInfoFromFlashFile - no version in header\n"},
    {"FpgaVersionOutsidePackedFields",
     // 5 does not fit bits 23..22: packed, F5.1.0.0 would read as F1.1.0.0.
     [] { return withComponents([](Components& c) { c.fpga = vm("fpga_F5.1.0.0.bin", 0x110000, 4096); }); },
     "Veltrion2CamMgr::getVersion - version F5.1.0.0 does not fit the packed version fields\n"},
    {"AudioOffSectorRunsPastItsErase",
     // One sector erased from 0x0e0000; the last 0x1000 bytes would land on unerased flash.
     [] { return withComponents([](Components& c) { c.audio = vm("audio_A1.3.0.0.bin", 0x0E8000, 0x9000); }); },
     "audio component at flash address 0x0e8000 cannot be written: it runs past the sectors 0x0e0000-0x0effff its "
     "write erases\n"},
    {"AudioOffSectorErasesIsp",
     [] { return withComponents([](Components& c) { c.audio = vm("audio_A1.3.0.0.bin", 0x0D8000, 4096); }); },
     "audio region 0x0d0000-0x0dffff overlaps isp region 0x0d0000-0x0dffff\n"},
    {"FpgaRegionPastFlashEnd",
     [] { return withComponents([](Components& c) { c.fpga = vm("fpga_F1.2.0.0.bin", 0x300000, 4096); }); },
     "passes the end of the flash"},
    {"FpgaOverBackupFx3",
     [] { return withComponents([](Components& c) { c.fpga = vm("fpga_F1.2.0.0.bin", 0x200000, 4096); }); },
     "overlaps the backup FX3 region 0x790000-0x7cffff"},
    {"IspOverLookupTable",
     [] { return withComponents([](Components& c) { c.isp = vm("isp_I1.4.0.0.bin", 0x0A0000, 4096); }); },
     "isp component at flash address 0x0a0000 cannot be written: region 0x0a0000-0x0affff overlaps the LUT"},
    {"AudioOverConfigurationBlock",
     [] { return withComponents([](Components& c) { c.audio = vm("audio_A1.3.0.0.bin", 0x080000, 4096); }); },
     "overlaps the configuration block region"},
    {"AudioOverJson",
     [] { return withComponents([](Components& c) { c.audio = vm("audio_A1.3.0.0.bin", 0x7D0000, 0x10000); }); },
     "overlaps the JSON region 0x7e0000-0x7effff"},
    {"AudioAtZero",
     [] { return withComponents([](Components& c) { c.audio = vm("audio_A1.3.0.0.bin", 0, 4096); }); },
     "overlaps the bootloader region"},
    {"IspErasesAudio",
     // 65536 bytes erase two sectors, the second one holding the audio component.
     [] { return withComponents([](Components& c) { c.isp = vm("isp_I1.4.0.0.bin", 0x0D0000, 0x10000); }); },
     "audio region 0x0e0000-0x0effff overlaps isp region 0x0d0000-0x0effff\n"},
    {"Fx3LongerThanItsRegion",
     [] {
         return withComponents([](Components& c) {
             veltrion::Fx3ImageRecipe recipe;
             recipe.versionText = "C0.1.2.3";
             recipe.imageSize = 0x70004;
             c.fx3 = *veltrion::buildFx3BootImage(recipe);
         });
     },
     "fx3 component of 458756 bytes does not fit its flash region of 458752 bytes\n"},
    {"BootloaderNotABootImage",
     // "CY" and 20 KiB of anything: the section chain runs off the end.
     [] {
         return withComponents([](Components& c) {
             c.bootloader.assign(20 * 1024, 0x5A);
             c.bootloader[0] = 'C';
             c.bootloader[1] = 'Y';
         });
     },
     "Veltrion2CamMgr::parseUpdatePackage - invalid bootloader boot image: section chain not terminated\n"},
    {"Fx3ChecksumWrong", [] { return withComponents([](Components& c) { c.fx3.back() ^= 0x01; }); },
     "Veltrion2CamMgr::parseUpdatePackage - invalid fx3 boot image: checksum mismatch\n"},
    {"BackupFx3BytesAfterChecksum",
     [] { return withComponents([](Components& c) { c.backupFx3.insert(c.backupFx3.end(), 4, 0xFF); }); },
     "Veltrion2CamMgr::parseUpdatePackage - backup fx3 boot image carries 4 bytes after its checksum\n"},
    {"JsonDoesNotParse",
     [] {
         return withComponents([](Components& c) {
             const std::string text = "{\"MemoryLayout\": ";
             c.json.assign(text.begin(), text.end());
         });
     },
     "Veltrion2CamMgr::parseUpdatePackage - json component is not valid JSON: line 1 column "},
    {"JsonLongerThanItsSector",
     [] { return withComponents([](Components& c) { c.json.assign(65531, ' '); }); },
     "json component of 65531 bytes does not fit its flash region, max 65530\n"},
};

INSTANTIATE_TEST_SUITE_P(Checks, SingleImageRefusal, ::testing::ValuesIn(kSingleRefusals),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SingleImageParse, ComponentsInsideTheSectorsTheirWriteErasesAreAccepted) {
    Components c = makeComponents();
    c.fpga = vm("fpga_F1.2.0.0.bin", 0x110100, 4096);
    c.audio = vm("audio_A1.3.0.0.bin", 0x0E8000, 0x8000);  // ends exactly at its sector's end
    Parse r;
    parse(buildSingleImage(c), r);
    ASSERT_TRUE(r.ok) << r.log.text();
    EXPECT_EQ(r.package.fpga.flashAddress, 0x110100u);
    EXPECT_EQ(r.package.audio.flashAddress, 0x0E8000u);
}

TEST(SingleImageParse, ChangedBodyFailsBeforeAnyComponentIsLookedAt) {
    Bytes file = buildSingleImage(makeComponents(), twoCameras());
    // Break the FPGA header too: the digest must be what refuses the image.
    file[100] ^= 0xFF;
    Parse r;
    parse(file, r);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log.text(), "Veltrion2CamMgr::parseUpdatePackage - mismatched md5 checksum\n");
}

TEST(SingleImageParse, BodyLengthMessageNamesFoundThenDescribed) {
    Bytes file = valid();
    const size_t described = file.size() - 76;
    file.insert(file.end(), 5, 0);
    resealMd5(file);
    Parse r;
    parse(file, r);
    EXPECT_TRUE(r.log.contains("expect uncompressed body size " + std::to_string(described + 5) +
                               ", actual uncompressed size " + std::to_string(described) + "\n"))
        << r.log.text();
}

TEST(SingleImageParse, ComponentLengthSumsBeyond32BitsAreRefused) {
    Bytes file = valid();
    // Two lengths whose 32-bit sum would wrap back to the real body length.
    const uint32_t fpga = le32(file, 24);
    putLe32(file, 24, fpga + 0x80000000u);
    putLe32(file, 48, le32(file, 48) + 0x80000000u);
    Parse r;
    parse(file, r);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.log.contains("invalid image size")) << r.log.text();
}
