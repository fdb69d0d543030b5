// Reading unified packages: entries and JSON, and every refusal.

#include <gtest/gtest.h>

#include "support/CapturingLogger.h"
#include "ImageTestSupport.h"
#include "image/UpdateImage.h"

using namespace imagetest;
using veltrion::UnifiedPackage;

namespace {

const Bytes kJson = {'{', '}', '\n'};

Bytes twoImagePackage() {
    const Bytes first = buildSingleImage(makeComponents("C0.1.0.0"));
    const Bytes second = buildSingleImage(makeComponents("X0.1.0.0"));
    return buildUnifiedPackage({first, second}, {{0x3a7c, 0x0003}, {0x3a7c, 0x0002}}, kJson);
}

bool parse(const Bytes& file, UnifiedPackage& package, CapturingLogger& log) {
    return veltrion::images::parseUpdatePackage(file, package, log);
}

}  // namespace

TEST(UnifiedPackageParse, EntriesPointAtTheImagesAndTheJson) {
    const Bytes first = buildSingleImage(makeComponents("C0.1.0.0"));
    const Bytes second = buildSingleImage(makeComponents("X0.1.0.0"));
    const Bytes file = buildUnifiedPackage({first, second}, {{0x3a7c, 0x0003}, {0x3a7c, 0x0002}}, kJson);
    UnifiedPackage package;
    CapturingLogger log;
    ASSERT_TRUE(parse(file, package, log)) << log.text();
    ASSERT_EQ(package.imageCount(), 2u);
    EXPECT_EQ(package.vendorIds, (std::vector<uint16_t>{0x3a7c, 0x3a7c}));
    EXPECT_EQ(package.productIds, (std::vector<uint16_t>{0x0003, 0x0002}));
    EXPECT_EQ(package.offsets[1], first.size());
    EXPECT_EQ(package.jsonOffset, first.size() + second.size());
    EXPECT_EQ(Bytes(package.image(0).begin(), package.image(0).end()), first);
    EXPECT_EQ(Bytes(package.image(1).begin(), package.image(1).end()), second);
    EXPECT_EQ(Bytes(package.jsonFile().begin(), package.jsonFile().end()), kJson);
}

TEST(UnifiedPackageParse, PackageWithOnlyJsonParses) {
    UnifiedPackage package;
    CapturingLogger log;
    ASSERT_TRUE(parse(buildUnifiedPackage({}, {}, kJson), package, log)) << log.text();
    EXPECT_EQ(package.imageCount(), 0u);
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::parseUpdatePackage:invalid number of camera img files\n"));
}

struct UnifiedRefusal {
    const char* name;
    void (*change)(Bytes&);
    const char* message;
};

class UnifiedRefusalTest : public ::testing::TestWithParam<UnifiedRefusal> {};

TEST_P(UnifiedRefusalTest, FailsWithItsLineAndLeavesNothing) {
    Bytes file = twoImagePackage();
    GetParam().change(file);
    UnifiedPackage package;
    package.body.assign(10, 1);
    CapturingLogger log;
    EXPECT_FALSE(parse(file, package, log));
    EXPECT_TRUE(log.contains(GetParam().message)) << log.text();
    EXPECT_TRUE(package.body.empty());
    EXPECT_EQ(package.imageCount(), 0u);
}

const UnifiedRefusal kUnifiedRefusals[] = {
    {"Empty", [](Bytes& f) { f.clear(); }, "Veltrion2CamMgr::parseUpdatePackage - invalid package - buf"},
    {"ShorterThanHeader", [](Bytes& f) { f.resize(23); },
     "Veltrion2CamMgr::parseUpdatePackage - invalid package size. header size < 24\n"},
    {"SingleImageMagic", [](Bytes& f) { f[1] = 'L', f[2] = 'T', f[3] = 'N'; },
     "invalid package magic \"VLTN\" expecting \"VUNI\"\n"},
    {"HeaderVersion3", [](Bytes& f) { putLe16(f, 4, 3); },
     "unsupported image header version 0x03, expected version 0x02\n"},
    {"HeaderLengthDisagreesWithCount", [](Bytes& f) { putLe32(f, 20, 3); },
     "Veltrion2CamMgr::parseUpdatePackage - invalid header size - expect 60, actual 48\n"},
    {"HeaderLongerThanFile",
     [](Bytes& f) {
         const auto m = static_cast<uint32_t>(f.size() / 12);
         putLe32(f, 20, m);
         putLe32(f, 8, 24 + 12 * m);
     },
     "invalid package size. header size < "},
    {"Compressed", [](Bytes& f) { putLe16(f, 6, 1); }, "Veltrion2CamMgr::parseUpdatePackage no supported type\n"},
    {"BodyShorterThanDescribed", [](Bytes& f) { f.pop_back(); }, "invalid image size - expect uncompressed body"},
    {"JsonLengthWrong", [](Bytes& f) { putLe32(f, 16, le32(f, 16) + 1); }, "invalid image size"},
    {"LengthSumWrapping32Bits",
     [](Bytes& f) {
         // 0x80000000 added to both lengths leaves their 32-bit sum unchanged.
         putLe32(f, 32, le32(f, 32) + 0x80000000u);
         putLe32(f, 44, le32(f, 44) + 0x80000000u);
     },
     "invalid image size"},
    {"EntryPastBody",
     [](Bytes& f) {
         // Lengths still add up, but the second image is said to start far out.
         putLe32(f, 40, 0xFFFFFF00u);
     },
     "image entry 1 (offset 4294967040, length "},
    {"EntryEndPastBody", [](Bytes& f) { putLe32(f, 40, le32(f, 40) + 16); }, "reaches past the body of "},
    {"JsonPastBody", [](Bytes& f) { putLe32(f, 12, le32(f, 12) + 2); },
     "json file (offset "},
};

INSTANTIATE_TEST_SUITE_P(Checks, UnifiedRefusalTest, ::testing::ValuesIn(kUnifiedRefusals),
                         [](const auto& test) { return std::string(test.param.name); });
