// Damaged images: truncated files and flipped bytes, in the header fields and
// inside components, must be refused cleanly (the sanitizer build checks
// that no byte outside the buffers is touched) and leave nothing behind.

#include <gtest/gtest.h>

#include <random>

#include "support/CapturingLogger.h"
#include "ImageTestSupport.h"
#include "image/UpdateImage.h"

using namespace imagetest;

namespace {

// A valid image with one camera table, so every part of the layout is present.
Bytes validImage() {
    HandImage hand;
    hand.serials = {"A1B2C3D4E5F6"};
    hand.luts = {expectedLut(3)};
    hand.alignments = {{{1, 2, 3, 4, 5}}};
    return buildSingleImage(makeComponents(), hand);
}

// Parses and checks the outcome is consistent: a refusal leaves the record
// empty, an acceptance yields components that lie inside the file.
bool parseSingle(const Bytes& file) {
    veltrion::UpdatePackage package;
    CapturingLogger log(0);
    const bool ok = veltrion::images::parseUpdatePackage(file, package, log);
    if (!ok) {
        EXPECT_TRUE(package.fx3.empty() && package.fpga.data.empty() && package.lutData.empty());
        EXPECT_NE(log.text(), "");
    } else {
        EXPECT_LE(package.fpga.length() + package.fx3.size() + package.lutData.size(), file.size());
    }
    return ok;
}

bool parseUnified(const Bytes& file) {
    veltrion::UnifiedPackage package;
    CapturingLogger log(0);
    const bool ok = veltrion::images::parseUpdatePackage(file, package, log);
    if (ok) {
        for (size_t i = 0; i < package.imageCount(); ++i) EXPECT_LE(package.image(i).size(), package.body.size());
        EXPECT_LE(package.jsonFile().size(), package.body.size());
    } else {
        EXPECT_TRUE(package.body.empty());
    }
    return ok;
}

}  // namespace

TEST(Robustness, EveryTruncationOfASingleImageIsRefused) {
    const Bytes image = validImage();
    ASSERT_TRUE(parseSingle(image));
    // Every length through the header and the first component headers, then
    // steps through the rest.
    for (size_t length = 0; length < image.size(); length += length < 2048 ? 1 : 997)
        EXPECT_FALSE(parseSingle(Bytes(image.begin(), image.begin() + length))) << length;
}

TEST(Robustness, FlippedHeaderFieldsNeverCrash) {
    const Bytes image = validImage();
    const uint8_t patterns[] = {0x01, 0x80, 0xFF};
    for (size_t at = 0; at < 88; ++at) {
        for (uint8_t pattern : patterns) {
            Bytes damaged = image;
            damaged[at] ^= pattern;
            const bool ok = parseSingle(damaged);
            // Only the three versions and the serial number carry no check of their own.
            if (ok) {
                EXPECT_TRUE((at >= 8 && at < 20) || at >= 76) << at;
            }
        }
    }
    // Extreme values in each 32-bit length and count field.
    for (size_t at : {20, 24, 28, 32, 36, 40, 44, 48, 52, 72}) {
        for (uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
            Bytes damaged = image;
            putLe32(damaged, at, value);
            if (damaged == image) continue;
            EXPECT_FALSE(parseSingle(damaged)) << at << " " << value;
        }
    }
}

TEST(Robustness, FlippedComponentBytesBehindAValidDigest) {
    // With the digest recomputed the damage reaches the component checks.
    const Bytes image = validImage();
    std::mt19937 random(1234);
    std::uniform_int_distribution<size_t> anywhere(88, image.size() - 1);
    std::vector<size_t> places;
    for (size_t at = 88; at < 88 + 300; ++at) places.push_back(at);  // the FPGA component header
    for (int i = 0; i < 300; ++i) places.push_back(anywhere(random));
    for (size_t at : places) {
        Bytes damaged = image;
        damaged[at] ^= static_cast<uint8_t>(1u << (at % 8));
        resealMd5(damaged);
        parseSingle(damaged);
    }
}

TEST(Robustness, DamagedUnifiedPackagesNeverCrash) {
    const Bytes first = buildSingleImage(makeComponents("C0.1.0.0"));
    const Bytes package = buildUnifiedPackage({first, first}, {{0x3a7c, 3}, {0x3a7c, 2}}, Bytes{'{', '}'});
    ASSERT_TRUE(parseUnified(package));
    for (size_t length = 0; length < 200; ++length)
        EXPECT_FALSE(parseUnified(Bytes(package.begin(), package.begin() + length)));
    for (size_t at = 0; at < 48; ++at) {
        for (uint8_t pattern : {0x01, 0x80, 0xFF}) {
            Bytes damaged = package;
            damaged[at] ^= pattern;
            parseUnified(damaged);
        }
    }
    std::mt19937 random(99);
    for (int i = 0; i < 500; ++i) {
        Bytes damaged = package;
        putLe32(damaged, 24 + 4 * (random() % 6), static_cast<uint32_t>(random()));
        parseUnified(damaged);
    }
}
