// FX3 boot images and "VM" components: building, reading back, and every
// check that refuses a damaged one.

#include <gtest/gtest.h>

#include "format/ComponentHeader.h"
#include "format/Fx3BootImage.h"
#include "base/ByteLayout.h"
#include "base/VersionNumber.h"

namespace {

using namespace veltrion;

std::vector<uint8_t> sampleImage(const std::string& version = "C0.1.2.3", size_t size = 40 * 1024) {
    Fx3ImageRecipe recipe;
    recipe.versionText = version;
    recipe.imageSize = size;
    recipe.seed = 7;
    return buildFx3BootImage(recipe).value();
}

void putLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(Fx3BootImage, BuildsAnImageThatReadsBack) {
    const auto image = sampleImage();
    ASSERT_EQ(image.size(), 40u * 1024);
    const Fx3ImageLayout layout = inspectFx3BootImage(image);
    EXPECT_EQ(layout.check, Fx3ImageCheck::Ok);
    EXPECT_EQ(layout.length, image.size());
    EXPECT_GE(layout.sections.size(), 2u);
    EXPECT_EQ(layout.storedChecksum, *ByteReader(image).le32(image.size() - 4));
    const Fx3Section& first = layout.sections.front();
    EXPECT_GE(layout.entryPoint, first.loadAddress);
    EXPECT_LT(layout.entryPoint, first.loadAddress + first.length);
    EXPECT_EQ(fx3ImageVersionText(image), "C0.1.2.3");
    // Sections are loaded one after the other.
    for (size_t i = 1; i < layout.sections.size(); ++i)
        EXPECT_EQ(layout.sections[i].loadAddress, layout.sections[i - 1].loadAddress + layout.sections[i - 1].length);
}

TEST(Fx3BootImage, IsDeterministicPerSeedAndVersion) {
    EXPECT_EQ(sampleImage(), sampleImage());
    EXPECT_NE(sampleImage("C0.1.2.3"), sampleImage("C0.1.2.4"));
    Fx3ImageRecipe recipe{"X1.0.0.0", 8 * 1024, 1};
    const auto a = buildFx3BootImage(recipe);
    recipe.seed = 2;
    EXPECT_NE(a, buildFx3BootImage(recipe));
}

TEST(Fx3BootImage, RefusesSizesItCannotBuild) {
    EXPECT_FALSE(buildFx3BootImage({"C0.1.0.0", 4098, 0}));  // not whole words
    EXPECT_FALSE(buildFx3BootImage({"C0.1.0.0", 32, 0}));    // no room for the marker
    EXPECT_TRUE(buildFx3BootImage({"C0.1.0.0", 128, 0}));
}

TEST(Fx3BootImage, EachDamageIsNamed) {
    const auto good = sampleImage();
    EXPECT_EQ(validateFx3BootImage({}), Fx3ImageCheck::Empty);
    EXPECT_EQ(validateFx3BootImage(std::span(good).first(4)), Fx3ImageCheck::TooShort);

    auto unsigned_ = good;
    unsigned_[0] = 0xFF;
    unsigned_[1] = 0xFF;
    EXPECT_EQ(validateFx3BootImage(unsigned_), Fx3ImageCheck::BadSignature);
    // Firmware checking a region whose signature is not written yet still walks it.
    EXPECT_EQ(walkFx3Sections(unsigned_).check, Fx3ImageCheck::Ok);

    auto flipped = good;
    flipped[200] ^= 0x01;
    const auto layout = inspectFx3BootImage(flipped);
    EXPECT_EQ(layout.check, Fx3ImageCheck::BadChecksum);
    EXPECT_NE(layout.computedChecksum, layout.storedChecksum);

    // Cut before the terminating section, or just its checksum.
    EXPECT_EQ(validateFx3BootImage(std::span(good).first(good.size() - 12)), Fx3ImageCheck::Unterminated);
    EXPECT_EQ(validateFx3BootImage(std::span(good).first(good.size() - 2)), Fx3ImageCheck::Unterminated);

    // A section length running past the end, including one that overflows 32 bits when counted in bytes.
    auto huge = good;
    putLe32(huge, 4, 0xFFFFFFFF);
    EXPECT_EQ(validateFx3BootImage(huge), Fx3ImageCheck::Unterminated);
    auto exact = good;
    putLe32(exact, 4, static_cast<uint32_t>((good.size() - 12) / 4));  // data reaches exactly the end
    EXPECT_EQ(validateFx3BootImage(exact), Fx3ImageCheck::Unterminated);

    // An erased region is not an image.
    EXPECT_EQ(validateFx3BootImage(std::vector<uint8_t>(4096, 0xFF)), Fx3ImageCheck::BadSignature);
    EXPECT_EQ(walkFx3Sections(std::vector<uint8_t>(4096, 0xFF)).check, Fx3ImageCheck::Unterminated);
}

TEST(Fx3BootImage, IgnoresWhatFollowsTheChecksum) {
    auto image = sampleImage();
    image.resize(64 * 1024, 0xFF);  // the rest of its flash region
    const auto layout = inspectFx3BootImage(image);
    EXPECT_EQ(layout.check, Fx3ImageCheck::Ok);
    EXPECT_EQ(layout.length, 40u * 1024);
}

TEST(Fx3BootImage, EncodesGivenSections) {
    const auto image = encodeFx3BootImage({{0x100, {1, 0, 0, 0, 2, 0, 0, 0}}, {0x200, {3, 0, 0, 0}}}, 0x104, 0x1C, 0xB0);
    ASSERT_TRUE(image);
    const std::vector<uint8_t> expected = {'C', 'Y', 0x1C, 0xB0,                          //
                                           2, 0, 0, 0, 0x00, 1, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,  //
                                           1, 0, 0, 0, 0x00, 2, 0, 0, 3, 0, 0, 0,              //
                                           0, 0, 0, 0, 0x04, 1, 0, 0, 6, 0, 0, 0};
    EXPECT_EQ(*image, expected);
    EXPECT_FALSE(encodeFx3BootImage({{0, {1, 2, 3}}}, 0));  // not whole words
    EXPECT_FALSE(fx3ImageVersionText(*image));              // no marker
}

std::vector<uint8_t> sampleComponent(size_t length = 4096) {
    return buildComponent({"isp_C1.2.3.4.bin", 0x0D0000, length, "ISP001", 0x12345678, 3}).value();
}

TEST(ComponentHeader, BuildsAComponentThatReadsBack) {
    const auto component = sampleComponent();
    ASSERT_EQ(component.size(), 4096u);
    ComponentHeader header;
    EXPECT_EQ(checkComponent(component, &header), ComponentCheck::Ok);
    EXPECT_EQ(header.length, 4096u);
    EXPECT_EQ(header.reserved, 0x12345678u);
    EXPECT_EQ(header.flashAddress, 0x0D0000u);
    EXPECT_EQ(header.checksum, fletcher16(component.data() + 256, component.size() - 256));
    EXPECT_EQ(header.tag, "ISP001");
    EXPECT_EQ(header.fileName, "isp_C1.2.3.4.bin");
    const auto version = versionTextFromFileName(header.fileName);
    ASSERT_EQ(version, "C1.2.3.4");
    uint32_t packed = 0;
    ASSERT_EQ(parseVersionText(*version, packed), VersionParse::Ok);
    EXPECT_EQ(packed, 0x43420304u);
    // Bytes after the component (the rest of the flash) do not matter.
    auto inFlash = component;
    inFlash.resize(64 * 1024, 0xFF);
    EXPECT_EQ(checkComponent(inFlash), ComponentCheck::Ok);
    // A header-only component checks the empty body.
    EXPECT_EQ(checkComponent(sampleComponent(256)), ComponentCheck::Ok);
}

TEST(ComponentHeader, EachDamageIsNamed) {
    const auto good = sampleComponent();
    EXPECT_EQ(checkComponent(std::span(good).first(255)), ComponentCheck::TooShort);
    EXPECT_FALSE(decodeComponentHeader(std::span(good).first(255)));

    auto unsigned_ = good;
    unsigned_[1] = 0xFF;
    EXPECT_EQ(checkComponent(unsigned_), ComponentCheck::BadSignature);
    EXPECT_FALSE(decodeComponentHeader(unsigned_));

    auto tooLong = good;
    putLe32(tooLong, component::kLengthOffset, 4097);
    EXPECT_EQ(checkComponent(tooLong), ComponentCheck::BadLength);
    auto tooShort = good;
    putLe32(tooShort, component::kLengthOffset, 255);
    EXPECT_EQ(checkComponent(tooShort), ComponentCheck::BadLength);

    auto flipped = good;
    flipped[4000] ^= 0x80;
    EXPECT_EQ(checkComponent(flipped), ComponentCheck::BadChecksum);
}

TEST(ComponentHeader, VersionComesFromTheFileName) {
    EXPECT_EQ(versionTextFromFileName("fpga_F1.2.0.0.bin"), "F1.2.0.0");
    EXPECT_EQ(versionTextFromFileName("a_b_A1.0.0.7.bin"), "A1.0.0.7");
    EXPECT_FALSE(versionTextFromFileName("fpgaF1.bin"));       // no "_"
    EXPECT_FALSE(versionTextFromFileName("fpga_F1"));          // no "."
    EXPECT_FALSE(versionTextFromFileName("fpga.F1_2"));        // "_" after the last "."
    const std::string name31 = "f_" + std::string(25, 'x') + ".bin";
    ASSERT_EQ(name31.size(), 31u);
    EXPECT_TRUE(versionTextFromFileName(name31));
    EXPECT_FALSE(versionTextFromFileName(name31 + "x"));  // 32 characters
}

TEST(ComponentHeader, LongNamesAreCutToTheirField) {
    ComponentHeader header;
    header.fileName = std::string(40, 'n');
    const std::vector<uint8_t> body(10, 0xAB);
    const auto component = encodeComponent(header, body);
    ASSERT_EQ(component.size(), 266u);
    EXPECT_EQ(component[component::kFileNameOffset + 31], 0);
    EXPECT_EQ(decodeComponentHeader(component)->fileName, std::string(31, 'n'));
    EXPECT_FALSE(buildComponent({std::string(32, 'n'), 0, 1024, "", 0, 0}));
    EXPECT_FALSE(buildComponent({"x_A1.0.0.0.bin", 0, 255, "", 0, 0}));
}

}  // namespace
