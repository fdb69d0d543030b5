#include <gtest/gtest.h>

#include "device/CameraIdentity.h"
#include "support/CapturingLogger.h"

using namespace veltrion;

TEST(Identity, GroupByVendorAndProductIsLowerCaseExact) {
    EXPECT_EQ(getFwGroupFromVidPid(0x3a7c, 0xC002), "V2sG");
    EXPECT_EQ(getFwGroupFromVidPid(0x3a7c, 0x0003), "V3G");
    EXPECT_EQ(getFwGroupFromVidPid(0x3a7c, 0x0002), "V2G");
    EXPECT_EQ(getFwGroupFromVidPid(0x3a7c, 0x0004), "");
    EXPECT_EQ(getFwGroupFromVidPid(0x04b4, 0x00f3), "");
    EXPECT_EQ(getProductNameFromVidPid(0x3a7c, 0x6003), "Veltrion 3");
    EXPECT_EQ(getProductNameFromVidPid(0x3a7c, 0xd002), "Veltrion Non-Panoramic");
    EXPECT_EQ(getProductNameFromVidPid(0x1234, 0x6003), "");
}

TEST(Identity, Fx3VersionTextLeadsToIdentityAndGroup) {
    EXPECT_EQ(getFwGroupFromFx3VerStr("S1.0.4.2"), "V3G");
    EXPECT_EQ(getFwGroupFromFx3VerStr("X1.0.0.0"), "V2G");
    EXPECT_EQ(getFwGroupFromFx3VerStr("x1.0.0.0"), "");  // case-sensitive
    EXPECT_EQ(getVidPidStrFromFx3VerStr("C1.2.3.4"), "3a7c:8003");

    CapturingLogger logger;
    uint16_t vid = 0, pid = 0;
    EXPECT_TRUE(getVidPidFromFx3VerStr(vid, pid, "X2.1.0.0", logger));
    EXPECT_EQ(vid, 0x3a7c);
    EXPECT_EQ(pid, 0xc002);
    EXPECT_TRUE(logger.text().empty());

    vid = pid = 7;
    EXPECT_FALSE(getVidPidFromFx3VerStr(vid, pid, "Z0.1.0.0", logger));
    EXPECT_EQ(logger.text(), "Veltrion2CamMgr::getVidPidFromFx3VerStr - invalid vidpid string \n");
    EXPECT_EQ(vid, 7);
    EXPECT_FALSE(getVidPidFromFx3VerStr(vid, pid, "", logger));
}

TEST(Identity, HexToUint16FollowsLibraryConversion) {
    EXPECT_EQ(hexToUint16("3a7c"), 0x3a7c);
    EXPECT_EQ(hexToUint16("  0x00F3"), 0x00f3);
    EXPECT_EQ(hexToUint16("12345"), 0x2345);  // low 16 bits
    EXPECT_EQ(hexToUint16("zz"), 0);
    EXPECT_EQ(hexToUint16(""), 0);
    EXPECT_EQ(hexToUint16("ffffffffffffffffffff"), 0);  // out of range
}

TEST(Identity, TableHasEightIdentitiesWithUniqueCodes) {
    const auto& table = cameraIdentities();
    ASSERT_EQ(table.size(), 8u);
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(vidPidKey(table[i].vendorId, table[i].productId), table[i].key);
        for (size_t j = i + 1; j < table.size(); ++j)
            EXPECT_STRNE(table[i].versionCode, table[j].versionCode);
    }
}
