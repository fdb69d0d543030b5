// Whole-file reads and writes and the MD5 digest.

#include <gtest/gtest.h>

#include "support/CapturingLogger.h"
#include "ImageTestSupport.h"
#include "image/ImageFiles.h"

using namespace imagetest;
using namespace veltrion::images;

TEST(Md5, KnownDigestsAndALargeBufferFedInPieces) {
    CapturingLogger log;
    const std::string abc = "abc";
    const auto digest = getMD5Hash({reinterpret_cast<const uint8_t*>(abc.data()), abc.size()}, log);
    ASSERT_TRUE(digest);
    EXPECT_EQ(*digest, (veltrion::Md5Digest{0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0, 0xd6, 0x96, 0x3f, 0x7d,
                                            0x28, 0xe1, 0x7f, 0x72}));
    EXPECT_EQ(*getMD5Hash({}, log), (veltrion::Md5Digest{0xd4, 0x1d, 0x8c, 0xd9, 0x8f, 0x00, 0xb2, 0x04, 0xe9, 0x80,
                                                          0x09, 0x98, 0xec, 0xf8, 0x42, 0x7e}));
    // More than one piece: the digest must not depend on where pieces end.
    const Bytes large(3 * 1024 * 1024 + 17, 0x5A);
    Bytes twice = large;
    twice.back() = 0x5B;
    EXPECT_NE(*getMD5Hash(large, log), *getMD5Hash(twice, log));
}

TEST(ImageFileIo, ReadDumpAndAppend) {
    TempDir dir;
    CapturingLogger log;
    const std::string path = dir.file("out.bin");
    EXPECT_TRUE(openAndDumpFile(path, Bytes{1, 2, 3}, false, log));
    EXPECT_TRUE(openAndDumpFile(path, Bytes{4}, true, log));
    std::vector<uint8_t> read;
    ASSERT_TRUE(openAndReadFile(path, read, log));
    EXPECT_EQ(read, (Bytes{1, 2, 3, 4}));
    EXPECT_TRUE(openAndDumpFile(path, Bytes{9}, false, log));
    EXPECT_EQ(readFile(path), Bytes{9});

    // Nothing to write: success, and no file is made.
    EXPECT_TRUE(openAndDumpFile(dir.file("none.bin"), Bytes{}, false, log));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.bin")));
    EXPECT_EQ(log.text(), "");
}

TEST(ImageFileIo, FailuresNameTheirCause) {
    TempDir dir;
    CapturingLogger log;
    std::vector<uint8_t> read{7};
    EXPECT_FALSE(openAndReadFile(dir.file("missing"), read, log));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::openAndReadFile failed - not able to open file " + dir.file("missing")));
    EXPECT_FALSE(openAndReadFile(dir.path().string(), read, log));  // a directory is not an image
    writeFile(dir.file("empty"), {});
    log.clear();
    EXPECT_FALSE(openAndReadFile(dir.file("empty"), read, log));
    EXPECT_EQ(log.text(), "Veltrion2CamMgr::openAndReadFile failed - file size invalid: 0\n");
    EXPECT_EQ(read, Bytes{7});
    log.clear();
    EXPECT_FALSE(openAndDumpFile(dir.file("no/such/dir"), Bytes{1}, false, log));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::openAndDumpFile failed - failed to open file "));
    EXPECT_EQ(fileSizeByPath(dir.file("missing")), -1);
    EXPECT_EQ(fileSizeByPath(dir.path().string()), -1);
}
