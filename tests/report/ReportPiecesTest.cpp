// The report's device-free pieces: the self-test block and its text, the
// scans of boot-image and lookup-table regions, the feature table lines, the
// safe forms of camera texts, and number formatting under a comma locale.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/ConfigBlock.h"
#include "config/FeatureTable.h"
#include "format/FlashRegionScan.h"
#include "format/ReportText.h"
#include "format/SelfTestBlock.h"
#include "support/TempDir.h"

namespace {

using namespace veltrion;

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

TEST(SelfTestBlock, DecodesSixEntriesAndPrintsThePartsLines) {
    const std::vector<uint8_t> wire = {0x10, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x02, 0x00,
                                       0x01, 0x02, 0x05, 0x01, 0x02, 0x00, 0x03, 0x00, 0xFF};
    const auto block = decodeSelfTestBlock(wire);
    ASSERT_TRUE(block);
    EXPECT_EQ((*block)[selftest::kFpga], (SelfTestEntry{0x0110, 0x00}));
    EXPECT_EQ((*block)[selftest::kIsp1], (SelfTestEntry{0x0201, 0x05}));
    EXPECT_EQ((*block)[selftest::kFpgaDdr], (SelfTestEntry{0x0003, 0xFF}));
    EXPECT_EQ(encodeSelfTestBlock(*block), wire);
    EXPECT_FALSE(decodeSelfTestBlock(std::span(wire).first(17)));

    EXPECT_EQ(selfTestStatusText(*block),
              "BISTInfo: dumping general status ... (status = 00 means test successful)\r\n"
              "BISTInfo: fpga rev: \t\t0110\r\n"
              "BISTInfo: fpga status: \t\t00\r\n"
              "BISTInfo: fx3 rev:\t\t0100\r\n"
              "BISTInfo: fx3 status: \t\t00\r\n"
              "BISTInfo: isp0 rev:\t\t0201\r\n"
              "BISTInfo: isp0 status: \t\t00\r\n"
              "BISTInfo: isp1 rev: \t\t0201\r\n"
              "BISTInfo: isp1 status: \t\t05\r\n"
              "BISTInfo: isp2 rev: \t\t0201\r\n"
              "BISTInfo: isp2 status: \t\t00\r\n"
              "BISTInfo: fpga DDR rev: \t0003\r\n"
              "BISTInfo: fpga DDR status: \tff\r\n"
              "\r\n");
}

TEST(FlashRegionScan, UsedLengthDropsOnlyTrailingErasedBytes) {
    EXPECT_EQ(usedLength(std::vector<uint8_t>(0x10000, 0xFF)), 0u);
    EXPECT_EQ(usedLength({}), 0u);
    EXPECT_EQ(usedLength(std::vector<uint8_t>{'C', 'Y', 0xFF, 0x00, 0xFF, 0xFF}), 4u);
    EXPECT_TRUE(startsWithCy(bytesOf("CY..")));
    EXPECT_FALSE(startsWithCy(bytesOf("C")));
    EXPECT_FALSE(startsWithCy(std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST(FlashRegionScan, VersionTextStaysInsideItsBytes) {
    // Any case, up to the first zero byte.
    auto image = bytesOf("CY..vErsion C0.1.0.0");
    image.push_back(0);
    image.push_back('x');
    EXPECT_EQ(bootImageVersionText(image), "vErsion C0.1.0.0");
    // At most 31 bytes.
    EXPECT_EQ(bootImageVersionText(bytesOf("Version 0123456789012345678901234567")),
              "Version 01234567890123456789012");
    // A marker at the very end yields only what the bytes hold.
    EXPECT_EQ(bootImageVersionText(bytesOf("xxxxVER")), "VER");
    EXPECT_EQ(bootImageVersionText(bytesOf("xxxxVERsi")), "VERsi");
    // A marker cut by the end is no marker.
    EXPECT_FALSE(bootImageVersionText(bytesOf("xxxxVE")));
    EXPECT_FALSE(bootImageVersionText({}));
}

TEST(FlashRegionScan, ErasedPairsOverlapAndCarryFlashAddresses) {
    const std::vector<uint8_t> table = {0x00, 0xFF, 0xFF, 0xFF, 0x12, 0xFF, 0x00, 0xFF, 0xFF};
    ReportText text;
    EXPECT_EQ(appendErasedPairLines(text, table, 0x90000), 3u);
    EXPECT_EQ(text.str(),
              "0xFF Found in LUT at:\t0x090001  0x090002  **ERROR** 0xFF found in LUT\r\n"
              "\t\t\t0x090002  0x090003\r\n"
              "\t\t\t0x090007  0x090008\r\n");
    ReportText clean;
    EXPECT_EQ(appendErasedPairLines(clean, std::vector<uint8_t>{0xFF, 0x00, 0xFF}, 0x90000), 0u);
    EXPECT_TRUE(clean.empty());
}

TEST(FeatureTable, LinesShowAvailabilityEnabledAndFieldOfView) {
    std::vector<uint8_t> page(256, 0xFF);
    const uint8_t entries[9][3] = {{1, 0, 1}, {1, 0, 0}, {1, 0, 2}, {0, 0, 1}, {1, 1, 0},
                                   {1, 0, 0x80}, {2, 0, 1}, {1, 0, 0}, {1, 0, 1}};
    for (size_t i = 0; i < 9; ++i)
        for (size_t b = 0; b < 3; ++b) page[3 * i + b] = entries[i][b];
    const auto table = decodeFeatureTable(page);
    ASSERT_TRUE(table);
    ReportText text;
    appendFeatureLines(text, *table);
    EXPECT_EQ(text.str(),
              "           LED Blink    available\tenabled\r\n"
              "          Upsidedown    available\tNOT enabled\r\n"
              "       Field of View    available\t120 degrees\r\n"
              "      Face Detection    NOT available\tNOT Enabled\r\n"
              // Only byte 2 switches a feature on.
              "          Blend Mode    available\tNOT enabled\r\n"
              "             Genlock    available\tenabled\r\n"
              "    Reset to Default    NOT available\tNOT Enabled\r\n"
              "            Face API    available\tNOT enabled\r\n"
              "          Lumo (HDR)    available\tenabled\r\n");

    page[7] = 0;
    page[8] = 9;  // an unknown field-of-view code shows no text
    ReportText unknown;
    appendFeatureLines(unknown, *decodeFeatureTable(page));
    EXPECT_NE(unknown.str().find("       Field of View    available\t\r\n"), std::string::npos);
    EXPECT_FALSE(decodeFeatureTable(std::span(page).first(26)));
}

TEST(ReportText, CameraTextsCannotForgeLinesOrClimbOutOfTheFolder) {
    EXPECT_EQ(printableLine("A1\r\nB2\x01\x7f\tC"), "A1??B2??\tC");
    EXPECT_EQ(printableLines("one\ntwo\r\nthree\rfour\x02"), "one\r\ntwo\r\nthree\r\nfour?");

    EXPECT_EQ(reportNamePart("A1B2C3D4E5F6"), "A1B2C3D4E5F6");
    EXPECT_EQ(reportNamePart("../x"), ".%2E%2Fx");
    EXPECT_EQ(reportNamePart(".."), ".%2E");
    EXPECT_EQ(reportNamePart("a/b\\c\x01\n%"), "a%2Fb%5Cc%01%0A%25");
    EXPECT_EQ(reportNamePart(""), "%unknown");
    // One to one: texts that an earlier cleaning merged stay apart.
    EXPECT_NE(reportNamePart("a/b"), reportNamePart("a_b"));
    EXPECT_NE(reportNamePart("a%2Fb"), reportNamePart("a/b"));
    EXPECT_NE(reportNamePart("unknown"), reportNamePart(""));
    const std::string longText(300, 'S');
    const std::string longName = reportNamePart(longText);
    EXPECT_EQ(longName.size(), reporttext::kMaxNamePartLength);
    EXPECT_EQ(longName.rfind(std::string(46, 'S') + "%%", 0), 0u) << longName;
    EXPECT_NE(reportNamePart(longText + "T"), longName);

    EXPECT_EQ(consoleLines("a\r\nb\rc\r\n"), "a\nb\rc\n");
}

TEST(ReportText, FormatsOnlyWhatItIsGiven) {
    ReportText text("first");
    const std::string hostile = "%s%n%x";
    text.linef("Serial = %s", hostile.c_str());
    text.appendf("%d", 7);
    text.endLine();
    text.errorLine("went wrong");
    text.linef("%s", std::string(600, 'L').c_str());  // longer than the first try
    EXPECT_EQ(text.str(), "first\r\nSerial = %s%n%x\r\n7\r\n**ERROR** went wrong\r\n" + std::string(600, 'L') + "\r\n");
}

// Switches the process to a locale whose decimal point is ",": the system's
// German locale, or one compiled into a temporary folder; restores "C".
class CommaLocale {
public:
    CommaLocale() {
        if (tryLocale()) return;
        const std::string command = "localedef -i de_DE -f UTF-8 '" + (dir_.path() / "de_DE.UTF-8").string() +
                                    "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return;
        ::setenv("LOCPATH", dir_.path().c_str(), 1);
        tryLocale();
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
    }
    bool active() const { return active_; }

private:
    bool tryLocale() {
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") && std::localeconv()->decimal_point[0] == ',';
        return active_;
    }
    TempDir dir_{"comma-locale"};
    bool active_ = false;
};

TEST(ReportText, NumbersUseADotUnderACommaLocale) {
    const CommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma can be made here";
    char plain[32];
    std::snprintf(plain, sizeof plain, "%.3f", 1.5);
    ASSERT_STREQ(plain, "1,500");  // the locale is in force

    ReportText text;
    text.linef("%.6f", 1188.25);
    EXPECT_EQ(text.str(), "1188.250000\r\n");

    CamConfigBlock block;
    block.calibration.focalLength[0] = 1188.5f;
    block.calibration.k1[1] = -0.25f;
    const std::string config = configblock::toText(block);
    EXPECT_NE(config.find("focallength 0 \t\t= 1188.500000\r\n"), std::string::npos) << config;
    EXPECT_NE(config.find("k1 1 \t\t\t= -0.250000\r\n"), std::string::npos) << config;
    // The thread's locale is back as it was.
    std::snprintf(plain, sizeof plain, "%.1f", 2.5);
    EXPECT_STREQ(plain, "2,5");
}

}  // namespace
