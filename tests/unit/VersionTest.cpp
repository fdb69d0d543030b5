#include <gtest/gtest.h>

#include <vector>

#include "manager/Veltrion2CamMgr.h"
#include "base/VersionNumber.h"

using namespace veltrion;

TEST(VersionNumber, PacksTextIntoFields) {
    uint32_t packed = 0;
    ASSERT_EQ(parseVersionText("X0.1.2.3", packed), VersionParse::Ok);
    EXPECT_EQ(packed, 0x58010203u);
    ASSERT_EQ(parseVersionText("v3.63.255.255", packed), VersionParse::Ok);
    EXPECT_EQ(packed, 0x76FFFFFFu);
    ASSERT_EQ(parseVersionText("C1.2.3.4", packed), VersionParse::Ok);
    EXPECT_EQ(packed, 0x43420304u);
    // a and b are masked, d and e spill into the higher fields.
    ASSERT_EQ(parseVersionText("A5.65.0.256", packed), VersionParse::Ok);
    EXPECT_EQ(packed, (0x41u << 24 | 1u << 22 | 1u << 16) + 256u);
}

TEST(VersionNumber, RefusesTextsThatAreNotVersions) {
    uint32_t packed = 0x1234;
    EXPECT_EQ(parseVersionText("", packed), VersionParse::Empty);
    EXPECT_EQ(parseVersionText("1.2.3.4", packed), VersionParse::BadFormat);
    EXPECT_EQ(parseVersionText("X1.2.3", packed), VersionParse::BadFormat);
    EXPECT_EQ(packed, 0x1234u);
}

TEST(VersionNumber, FormatsBackAndKeepsNotReadEmpty) {
    EXPECT_EQ(formatVersion(0x58010203u), "X0.1.2.3");
    EXPECT_EQ(formatVersion(kVersionNotRead), "");
    EXPECT_EQ(formatVersion(0xFFFFFFFFu), "\xff" "3.63.255.255");
    for (const char* text : {"C0.1.0.0", "S1.0.4.2", "F3.63.255.0"}) {
        uint32_t packed = 0;
        ASSERT_EQ(parseVersionText(text, packed), VersionParse::Ok);
        EXPECT_EQ(formatVersion(packed), text);
    }
}

TEST(Fletcher16, MatchesTheCameraForm) {
    const uint8_t abc[] = {0x61, 0x62, 0x63};
    EXPECT_EQ(fletcher16(abc, sizeof abc), 0x4C27);
    EXPECT_EQ(fletcher16(nullptr, 0), 0xFFFF);
    const std::vector<uint8_t> ones(40, 0xFF);
    EXPECT_EQ(fletcher16(ones.data(), ones.size()), 0xFFFF);  // the modulo-255 form would give 0
    EXPECT_EQ(Veltrion2CamMgr::fletcher16(abc, sizeof abc), 0x4C27);
}

TEST(Fletcher16, LongInputsFoldWithoutOverflowingTheBlockSums) {
    // 21 bytes cross a block boundary; a large buffer exercises many folds.
    std::vector<uint8_t> data(21);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    const uint16_t first = fletcher16(data.data(), data.size());
    data[20] ^= 1;
    EXPECT_NE(fletcher16(data.data(), data.size()), first);
    std::vector<uint8_t> big(6 * 1024 * 1024, 0xA5);
    const uint16_t bigSum = fletcher16(big.data(), big.size());
    big[big.size() / 2] = 0x5A;
    EXPECT_NE(fletcher16(big.data(), big.size()), bigSum);
}
