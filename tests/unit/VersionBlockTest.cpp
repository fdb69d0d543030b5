// The version block's texts: each ends at its first zero byte or at byte 20
// of its entry, whatever the camera put after it, and a short block never
// makes a reader look past its end.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/VersionBlock.h"

namespace {

using veltrion::versionBlockTexts;
namespace vreq = veltrion::vreq;

std::vector<uint8_t> blockWith(const std::vector<std::string>& texts) {
    std::vector<uint8_t> block(vreq::kVersionBlockSize, 0);
    for (size_t k = 0; k < texts.size(); ++k)
        for (size_t i = 0; i < texts[k].size() && vreq::kVersionTextOffset + i < vreq::kVersionEntrySize; ++i)
            block[k * vreq::kVersionEntrySize + vreq::kVersionTextOffset + i] = static_cast<uint8_t>(texts[k][i]);
    return block;
}

}  // namespace

TEST(VersionBlock, TextsInBlockOrderUpToTheirZero) {
    const auto texts = versionBlockTexts(blockWith({"C0.2.0.0", "F1.2.0.0", "A1.2.0.0", "I1.2.0.0"}));
    EXPECT_EQ(texts[0], "C0.2.0.0");
    EXPECT_EQ(texts[1], "F1.2.0.0");
    EXPECT_EQ(texts[2], "A1.2.0.0");
    EXPECT_EQ(texts[3], "I1.2.0.0");
}

TEST(VersionBlock, UnterminatedTextStopsAtTheEntrysLastByte) {
    // Sixteen characters fill bytes 6..21: the last byte is never text, and
    // the next entry's bytes never join it.
    std::vector<uint8_t> block = blockWith({"ABCDEFGHIJKLMNOP", "F1.2.0.0"});
    block[vreq::kVersionEntrySize] = 'X';  // the second entry's first byte
    const auto texts = versionBlockTexts(block);
    EXPECT_EQ(texts[0], "ABCDEFGHIJKLMNO");
    EXPECT_EQ(texts[1], "F1.2.0.0");
}

TEST(VersionBlock, ShortBlockLeavesTheMissingEntriesEmpty) {
    std::vector<uint8_t> block = blockWith({"C0.2.0.0", "F1.2.0.0", "A1.2.0.0", "I1.2.0.0"});
    block.resize(2 * vreq::kVersionEntrySize + 10);
    const auto texts = versionBlockTexts(block);
    EXPECT_EQ(texts[1], "F1.2.0.0");
    EXPECT_EQ(texts[2], "");
    EXPECT_EQ(texts[3], "");
    EXPECT_EQ(versionBlockTexts({})[0], "");
}
