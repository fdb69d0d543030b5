// The configuration block's layout, text form and patches, and the backup
// files kept before a rewrite.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/ByteLayout.h"
#include "config/ConfigBackup.h"
#include "config/ConfigBlock.h"
#include "support/TempDir.h"

using namespace veltrion;
namespace cb = veltrion::configblock;

namespace {

CalibrationParams sampleCalibration() {
    CalibrationParams p;
    p.focalLength = {1188.25f, 1190.5f, 1187.75f};
    p.k1 = {-0.25f, -0.125f, -0.5f};
    p.hfov = {70.5f, 71.0f, 69.75f};
    p.overlapx = {96, 104};
    p.overlapy = {-3, 0};
    p.cylinderR = {1210.5f, 1208.0f};
    return p;
}

// A main page laid down field by field, independently of the parser.
std::vector<uint8_t> samplePage(const std::string& serial) {
    std::vector<uint8_t> page;
    ByteWriter w(page);
    w.be32(0x00123456);
    w.be16(0x1800);
    w.u8(0x0A);
    w.be16(0xBCDE);
    w.text(serial, cb::kSerialSize);
    for (uint16_t v : {0x0101, 0x0202, 0x0303, 0x0404, 0x0505}) w.be16(v);
    w.be16(40960);
    for (uint16_t i = 1; i <= 8; ++i) w.be16(static_cast<uint16_t>(0x1000 + i));
    w.be16(0xCF33);
    for (uint32_t word : calibrationToWords(sampleCalibration())) w.be32(word);
    w.fill(0x5A, cb::kPageSize - w.size());  // uninterpreted tail
    return page;
}

}  // namespace

TEST(ConfigBlockLayout, ParsesBigEndianFieldsCalibrationBitsAndAFullLengthSerial) {
    const std::string serial = "ABCDEFGHIJKLMNOPQR";  // 18 characters, no terminating zero
    CamConfigBlock block;
    ASSERT_TRUE(cb::parseMainPage(samplePage(serial), block));
    EXPECT_EQ(block.fpgaLength, 0x00123456u);
    EXPECT_EQ(block.ispPhase1Size, 0x1800);
    EXPECT_EQ(block.ispSize, 0x0ABCDEu);
    EXPECT_EQ(block.serialNumber, serial);
    EXPECT_EQ(block.ctg, (std::array<uint16_t, 5>{0x0101, 0x0202, 0x0303, 0x0404, 0x0505}));
    EXPECT_EQ(block.audioCodeLength, 40960);
    EXPECT_EQ(block.jpegLength[0], 0x1001);
    EXPECT_EQ(block.jpegLength[7], 0x1008);
    EXPECT_EQ(block.audioChecksum, 0xCF33);
    EXPECT_EQ(block.calibration, sampleCalibration());

    CamConfigBlock shortPage;
    EXPECT_FALSE(cb::parseMainPage(std::vector<uint8_t>(cb::kPageSize - 1), shortPage));
}

TEST(ConfigBlockLayout, TextFormListsEveryFieldAndShowsErasedCalibration) {
    std::vector<uint8_t> page = samplePage("SN1");
    std::fill(page.begin() + cb::kCalibrationOffset, page.begin() + cb::kUninterpretedOffset, 0xFF);
    CamConfigBlock block;
    ASSERT_TRUE(cb::parseMainPage(page, block));
    const std::string text = cb::toText(block);

    size_t lines = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 34u);
    EXPECT_EQ(text.rfind("FPGA LEN \t\t= 1193046\r\nISP Phase1 size \t= 6144\r\nISP size \t\t= 703710\r\n", 0), 0u);
    for (const char* line : {"serial number \t\t= SN1\r\n", "TOP ctg0 \t\t= 0x0101\r\n", "Right ctg1 \t\t= 0x0505\r\n",
                             "audio code len \t\t= 40960\r\n", "jpeg8 len \t\t= 0x1008\r\n",
                             "audio checksum (version)= 0xcf33\r\n", "focallength 0 \t\t= -nan\r\n",
                             "k1 2 \t\t\t= -nan\r\n", "overlapx 0 \t\t= -1\r\n", "overlapy 1 \t\t= -1\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_TRUE(text.ends_with("cylinderR 1 \t\t= -nan\r\n"));
}

TEST(ConfigBlockLayout, PatchesChangeOnlyTheirOwnBytes) {
    std::vector<uint8_t> image(cb::kImageSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    const std::vector<uint8_t> before = image;

    ASSERT_TRUE(cb::patchCtgValues(image, {0x1234, 0, 0xFFFF, 0x12345, -1}));
    for (size_t i = 0; i < image.size(); ++i)
        if (i < cb::kCtgOffset || i >= cb::kCtgOffset + 2 * cb::kCtgCount) {
            ASSERT_EQ(image[i], before[i]) << i;
        }
    const ByteReader reader(image);
    EXPECT_EQ(*reader.be16(cb::kCtgOffset), 0x1234);
    EXPECT_EQ(*reader.be16(cb::kCtgOffset + 6), 0x2345);  // the low 16 bits
    EXPECT_EQ(*reader.be16(cb::kCtgOffset + 8), 0xFFFF);

    const std::vector<uint8_t> afterCtg = image;
    ASSERT_TRUE(cb::patchCalibration(image, sampleCalibration()));
    for (size_t i = 0; i < image.size(); ++i)
        if (i < cb::kCalibrationOffset || i >= cb::kUninterpretedOffset) {
            ASSERT_EQ(image[i], afterCtg[i]) << i;
        }
    EXPECT_EQ(cb::parseCalibration(std::span(image).subspan(cb::kCalibrationOffset, cb::kCalibrationSize)),
              sampleCalibration());
    EXPECT_EQ(*reader.be32(cb::kCalibrationOffset + 4 * 11), static_cast<uint32_t>(-3));  // overlapy 0

    std::vector<uint8_t> tooShort(cb::kPageSize - 1);
    EXPECT_FALSE(cb::patchCtgValues(tooShort, {1, 2, 3, 4, 5}));
    EXPECT_FALSE(cb::patchCalibration(tooShort, sampleCalibration()));
}

TEST(ConfigBlockLayout, ErasedCalibrationIsRecognised) {
    std::vector<uint8_t> words(cb::kCalibrationSize, 0xFF);
    EXPECT_TRUE(cb::isErased(words));
    words[59] = 0xFE;
    EXPECT_FALSE(cb::isErased(words));
    EXPECT_FALSE(cb::parseCalibration(std::vector<uint8_t>(cb::kCalibrationSize - 1)).has_value());
}

class ConfigBackupFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* home = std::getenv("HOME")) savedHome_ = home;
        ::unsetenv("XDG_STATE_HOME");
    }
    void TearDown() override {
        ::unsetenv("XDG_STATE_HOME");
        if (savedHome_.empty())
            ::unsetenv("HOME");
        else
            ::setenv("HOME", savedHome_.c_str(), 1);
    }
    TempDir dir_{"config-backup"};
    std::string savedHome_;
};

TEST_F(ConfigBackupFiles, FolderFollowsTheStateHomeAndFallsBackToHome) {
    ::setenv("XDG_STATE_HOME", dir_.str().c_str(), 1);
    EXPECT_EQ(configbackup::directory(), dir_.path() / "veltrion" / "config-backups");

    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_STATE_HOME", "relative/state", 1);  // not absolute: ignored
    EXPECT_EQ(configbackup::directory(), std::filesystem::path("/home/someone/.local/state/veltrion/config-backups"));

    ::unsetenv("XDG_STATE_HOME");
    ::unsetenv("HOME");
    EXPECT_FALSE(configbackup::directory().has_value());
}

TEST_F(ConfigBackupFiles, SerialNumbersBecomeSafeFileNames) {
    EXPECT_EQ(configbackup::fileNamePart("A1B2C3D4E5F6"), "A1B2C3D4E5F6");
    EXPECT_EQ(configbackup::fileNamePart("../x/y"), ".._x_y");
    EXPECT_EQ(configbackup::fileNamePart(".."), "unknown");
    EXPECT_EQ(configbackup::fileNamePart(""), "unknown");
    EXPECT_EQ(configbackup::fileNamePart(std::string(18, '\xFF')), "unknown");  // erased serial field
}

TEST_F(ConfigBackupFiles, EachSaveGetsAFileOfItsOwnHoldingTheImage) {
    ::setenv("XDG_STATE_HOME", dir_.str().c_str(), 1);
    std::vector<uint8_t> image(cb::kImageSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
    std::string error;
    const auto first = configbackup::save(image, "SN/1", error);
    const auto second = configbackup::save(image, "SN/1", error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_NE(*first, *second);
    EXPECT_EQ(first->parent_path(), dir_.path() / "veltrion" / "config-backups");
    EXPECT_EQ(first->filename().string().rfind("SN_1-", 0), 0u);
    std::ifstream in(*second, std::ios::binary);
    const std::vector<uint8_t> stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stored, image);

    // A state folder that cannot be made is reported, not ignored.
    const auto blocker = dir_.path() / "file";
    std::ofstream(blocker) << "x";
    ::setenv("XDG_STATE_HOME", blocker.c_str(), 1);
    EXPECT_FALSE(configbackup::save(image, "SN1", error).has_value());
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}
