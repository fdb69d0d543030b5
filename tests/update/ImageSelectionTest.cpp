#include <gtest/gtest.h>

#include "image/ImageSelection.h"

using namespace veltrion;

namespace {

UnifiedPackage packageOf(const std::vector<std::pair<uint16_t, uint16_t>>& ids) {
    UnifiedPackage package;
    for (const auto& [vid, pid] : ids) {
        package.vendorIds.push_back(vid);
        package.productIds.push_back(pid);
        package.offsets.push_back(0);
        package.lengths.push_back(0);
    }
    return package;
}

}  // namespace

TEST(ImageSelection, ExactIdentityWinsOverGroupMatches) {
    const auto package = packageOf({{0x3a7c, 0x8003}, {0x3a7c, 0x0003}, {0x3a7c, 0x4003}});
    const ImageChoice choice = chooseImageForCamera(package, 0x3a7c, 0x0003);
    EXPECT_EQ(choice.index, 1);
}

TEST(ImageSelection, OnlyGroupMatchIsChosenTwoAreRefused) {
    const auto one = packageOf({{0x3a7c, 0x0002}, {0x3a7c, 0x8003}});
    ImageChoice choice = chooseImageForCamera(one, 0x3a7c, 0x0003);
    EXPECT_EQ(choice.index, 1);
    EXPECT_EQ(choice.groupMatches, 1);

    const auto two = packageOf({{0x3a7c, 0x8003}, {0x3a7c, 0x0002}, {0x3a7c, 0x6003}});
    choice = chooseImageForCamera(two, 0x3a7c, 0x0003);
    EXPECT_EQ(choice.index, -1);
    EXPECT_EQ(choice.groupMatches, 2);
    EXPECT_EQ(choice.matchIndex, 2);  // the last one is remembered

    const auto none = packageOf({{0x3a7c, 0x0002}, {0x3a7c, 0xc002}});
    choice = chooseImageForCamera(none, 0x3a7c, 0x0003);
    EXPECT_EQ(choice.index, -1);
    EXPECT_EQ(choice.groupMatches, 0);
    EXPECT_EQ(choice.matchIndex, -1);
}

TEST(ImageSelection, IdentitiesOutsideTheLineMatchNothing) {
    const auto package = packageOf({{0x1234, 0x5678}});
    EXPECT_EQ(chooseImageForCamera(package, 0x1234, 0x5678).index, -1);
    EXPECT_EQ(chooseImageForCamera(packageOf({}), 0x3a7c, 0x0003).index, -1);
}
