// Lookup-table directories and alignment files.

#include <gtest/gtest.h>

#include "support/CapturingLogger.h"
#include "ImageTestSupport.h"
#include "image/LutFiles.h"

using namespace imagetest;
using namespace veltrion::images;

namespace {

std::string lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%x\n", i + 1);
        text += line;
    }
    return text;
}

}  // namespace

TEST(LutFiles, DirectoryLoadsTwentyFourTablesInOrder) {
    TempDir dir;
    writeLutDirectory(dir.file("lut"), 0x1234);
    Bytes buffer(veltrion::lut::kBufferSize, 0xEE);
    CapturingLogger log;
    ASSERT_TRUE(loadAllLUTFilesInDirectory(dir.file("lut"), buffer, log)) << log.text();
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 98304), expectedLut(0x1234));
    EXPECT_EQ(buffer[98304], 0xEE);  // the alignment values are left alone
}

TEST(LutFiles, ShortTableLeavesItsTailZeroAndExtraLinesAreIgnored) {
    TempDir dir;
    Bytes buffer(veltrion::lut::kBufferSize, 0xEE);
    CapturingLogger log;
    writeText(dir.file("short.load"), lines(2000));
    ASSERT_TRUE(loadLUTFile(dir.file("short.load"), 2048, buffer, log)) << log.text();
    EXPECT_EQ(le16(buffer, 2 * 2048), 1);
    EXPECT_EQ(le16(buffer, 2 * (2048 + 1999)), 2000);
    for (int e = 2000; e < 2048; ++e) EXPECT_EQ(le16(buffer, 2 * (2048 + e)), 0) << e;
    EXPECT_EQ(buffer[2 * 4096], 0xEE);  // the next table is untouched
    EXPECT_EQ(buffer[2 * 2048 - 1], 0xEE);

    // Values wider than 16 bits keep their low 16 bits; "0x" and white space are read as "%x" reads them.
    writeText(dir.file("long.load"), "  0x1ABCD\n" + lines(3000));
    ASSERT_TRUE(loadLUTFile(dir.file("long.load"), 47104, buffer, log));
    EXPECT_EQ(le16(buffer, 2 * 47104), 0xABCD);
    EXPECT_EQ(le16(buffer, 2 * 49151), 2047);
}

TEST(LutFiles, TableRefusals) {
    TempDir dir;
    Bytes buffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    writeText(dir.file("t.load"), lines(10));
    EXPECT_FALSE(loadLUTFile(dir.file("t.load"), 47105, buffer, log));
    EXPECT_EQ(log.text(),
              "Veltrion2CamMgr::loadLUTFile failed - too many lookup tables to load?? LUTLoc = 47105, LUT_DATA_SIZE "
              "= 2048, LUT Data size = 98304, UT file = " +
                  dir.file("t.load") + "\n");
    log.clear();
    EXPECT_FALSE(loadLUTFile(dir.file("t.load"), -1, buffer, log));
    EXPECT_TRUE(log.contains("LUTLoc = -1"));
    log.clear();
    EXPECT_FALSE(loadLUTFile(dir.file("missing.load"), 0, buffer, log));
    EXPECT_EQ(log.text(), "Veltrion2CamMgr::loadLUTFile failed - unable to open " + dir.file("missing.load") + "\n");
    log.clear();
    writeText(dir.file("bad.load"), "12\nzz\n");
    EXPECT_FALSE(loadLUTFile(dir.file("bad.load"), 0, buffer, log));
    EXPECT_EQ(log.text(), "Veltrion2CamMgr::loadLUTFile failed - file " + dir.file("bad.load") +
                              " contain invalid line which contain invalid hex value zz\n");
    log.clear();
    Bytes small(100);
    EXPECT_FALSE(loadLUTFile(dir.file("t.load"), 0, small, log));
    EXPECT_NE(log.text(), "");
}

TEST(LutFiles, DirectoryWithAMissingTableNamesFileAndPosition) {
    TempDir dir;
    writeLutDirectory(dir.file("lut"), 0);
    std::filesystem::remove(dir.file("lut/surface_y_LUT_00_1.load"));  // the 13th table
    Bytes buffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    EXPECT_FALSE(loadAllLUTFilesInDirectory(dir.file("lut"), buffer, log));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::loadAllLUTFilesInDirectory failed - unable to load LUT file " +
                             dir.file("lut") + "/surface_y_LUT_00_1.load at location 24576\n"))
        << log.text();
}

TEST(AlignmentFile, FiveValuesLandBehindTheTable) {
    TempDir dir;
    writeText(dir.file("a.txt"), "1\nffff\n0x10\n  7f\nabcd");
    Bytes buffer(veltrion::lut::kBufferSize, 0xEE);
    CapturingLogger log;
    ASSERT_TRUE(loadAlignmentData(dir.file("a.txt"), buffer, log)) << log.text();
    EXPECT_EQ(Bytes(buffer.begin() + 98304, buffer.end()),
              (Bytes{0x01, 0x00, 0xFF, 0xFF, 0x10, 0x00, 0x7F, 0x00, 0xCD, 0xAB}));
    EXPECT_EQ(buffer[98303], 0xEE);
}

TEST(AlignmentFile, WrongLineCountsAndValuesAreRefused) {
    TempDir dir;
    Bytes buffer(veltrion::lut::kBufferSize);
    const auto refuse = [&](const std::string& text) {
        writeText(dir.file("a.txt"), text);
        CapturingLogger log;
        EXPECT_FALSE(loadAlignmentData(dir.file("a.txt"), buffer, log));
        return log.text();
    };
    const std::string file = dir.file("a.txt");
    EXPECT_EQ(refuse(lines(5) + "\n"), "Veltrion2CamMgr::loadAlignmentData failed - file " + file +
                                           " contain too many lines - expected only 5 lines\n");
    EXPECT_EQ(refuse(lines(4)), "Veltrion2CamMgr::loadAlignmentData failed - file " + file +
                                    " contain 4 number of lines - expected only 5 lines\n");
    EXPECT_EQ(refuse("1\n2\nxyz\n4\n5\n"), "Veltrion2CamMgr::loadAlignmentData failed - file " + file +
                                              " contain invalid line which contain invalid hex value xyz\n");
    EXPECT_EQ(refuse(""), "Veltrion2CamMgr::loadAlignmentData failed - file " + file +
                              " contain 0 number of lines - expected only 5 lines\n");
    CapturingLogger log;
    EXPECT_FALSE(loadAlignmentData(dir.file("none"), buffer, log));
    EXPECT_EQ(log.text(), "Veltrion2CamMgr::loadAlignmentData failed - unable to open " + dir.file("none") + "\n");
}
