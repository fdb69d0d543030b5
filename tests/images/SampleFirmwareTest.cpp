// The simulator's make-firmware output goes through image creation as the
// console's -c and --uni take it: single images with and without lookup
// tables, and a unified package of two groups.

#include <gtest/gtest.h>

#include <sstream>

#include "ImageTestSupport.h"
#include "image/ImageCreation.h"
#include "image/LutFiles.h"
#include "image/UpdateImage.h"
#include "base/VersionNumber.h"
#include "support/CapturingLogger.h"
#include "tool/MakeFirmware.h"

using namespace imagetest;

namespace {

// Runs make-firmware and returns the -c arguments of its last line.
std::vector<std::string> makeFirmware(const std::vector<std::string>& options) {
    std::vector<std::string> args = {"make-firmware"};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out;
    camsim::makeFirmware(args, out);
    std::string last;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) last = line;
    std::vector<std::string> words;
    std::istringstream split(last);
    for (std::string word; split >> word;) words.push_back(word);
    return words;
}

veltrion::UpdatePackage parse(const std::string& path) {
    veltrion::UpdatePackage package;
    CapturingLogger log;
    EXPECT_TRUE(veltrion::images::parseUpdatePackage(readFile(path), package, log)) << log.text();
    return package;
}

}  // namespace

TEST(SampleFirmware, ComponentSetsBuildImagesThatParse) {
    TempDir dir;
    auto v3 = makeFirmware({"--group", "V3G", "--out", dir.file("v3"), "--lut", "SERIAL000001", "--lut",
                            "SERIAL000002", "--fpga", "F2.0.1.0"});
    ASSERT_EQ(v3.size(), 8u + 6u);
    EXPECT_EQ(v3[8 + 2], "SERIAL000001");
    auto v2 = makeFirmware({"--group", "V2G", "--out", dir.file("v2")});
    ASSERT_EQ(v2.size(), 8u);

    std::vector<uint8_t> lutBuffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    v3.push_back(dir.file("v3.img"));
    ASSERT_TRUE(veltrion::images::createSingleImage(v3, lutBuffer, log)) << log.text();
    v2.push_back(dir.file("v2.img"));
    ASSERT_TRUE(veltrion::images::createSingleImage(v2, lutBuffer, log)) << log.text();

    const veltrion::UpdatePackage v3Package = parse(dir.file("v3.img"));
    EXPECT_EQ(veltrion::formatVersion(v3Package.fx3Version), "C0.2.0.0");
    EXPECT_EQ(veltrion::formatVersion(v3Package.fpga.version), "F2.0.1.0");
    EXPECT_EQ(v3Package.serialNumbers, (std::vector<std::string>{"SERIAL000001", "SERIAL000002"}));
    EXPECT_FALSE(v3Package.json.empty());
    EXPECT_EQ(veltrion::formatVersion(parse(dir.file("v2.img")).fx3Version), "X0.2.0.0");

    ASSERT_TRUE(veltrion::images::createUnifiedImage(
        {dir.file("v3.img"), dir.file("v2.img"), v3[6], dir.file("package.img")}, log))
        << log.text();
    veltrion::UnifiedPackage package;
    ASSERT_TRUE(veltrion::images::parseUpdatePackage(readFile(dir.file("package.img")), package, log));
    ASSERT_EQ(package.imageCount(), 2u);
    const auto firstSize = readFile(dir.file("v3.img")).size();
    EXPECT_EQ(package.offsets[1], firstSize);
    EXPECT_EQ(package.jsonOffset, firstSize + readFile(dir.file("v2.img")).size());
    EXPECT_EQ(package.productIds, (std::vector<uint16_t>{0x0003, 0x0002}));
}

TEST(SampleFirmware, SmallComponentsMakeASmallImageThatParses) {
    TempDir dir;
    auto args = makeFirmware({"--group", "V3G", "--out", dir.file("small"), "--fpga-size", "4096", "--fx3-size", "4096",
                              "--bootloader-size", "2048", "--backup-fx3-size", "4096", "--isp-size", "8192",
                              "--audio-size", "2048"});
    const std::vector<size_t> sizes{4096, 4096, 2048, 8192, 2048, 4096};
    for (size_t i = 0; i < sizes.size(); ++i) EXPECT_EQ(readFile(args[i]).size(), sizes[i]) << args[i];
    std::vector<uint8_t> lutBuffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    args.push_back(dir.file("small.img"));
    ASSERT_TRUE(veltrion::images::createSingleImage(args, lutBuffer, log)) << log.text();
    const veltrion::UpdatePackage package = parse(dir.file("small.img"));
    EXPECT_EQ(package.isp.length(), 8192u);
    EXPECT_EQ(package.audio.length(), 2048u);
    EXPECT_EQ(package.fx3.size(), 4096u);
    EXPECT_EQ(package.bootloader.size(), 2048u);
    EXPECT_EQ(package.backupFx3.size(), 4096u);
}

TEST(SampleFirmware, RefusesWhatCannotMakeAFittingImage) {
    TempDir dir;
    EXPECT_THROW(makeFirmware({"--group", "V9G", "--out", dir.file("x")}), std::runtime_error);
    EXPECT_THROW(makeFirmware({"--group", "V3G", "--out", dir.file("x"), "--fx3", "X0.1.0.0"}), std::runtime_error);
    EXPECT_THROW(makeFirmware({"--group", "V3G", "--out", dir.file("x"), "--lut", "SHORT"}), std::runtime_error);
    EXPECT_THROW(makeFirmware({"--group", "V3G", "--out", dir.file("x"), "--fpga-size", "7000000"}),
                 std::runtime_error);
    // An ISP component that would reach into the audio component's sector, a
    // boot loader of no whole number of 32-bit words, a size that is not a number.
    EXPECT_THROW(makeFirmware({"--group", "V3G", "--out", dir.file("x"), "--isp-size", "200000"}), std::runtime_error);
    EXPECT_THROW(makeFirmware({"--group", "V3G", "--out", dir.file("x"), "--bootloader-size", "1001"}),
                 std::runtime_error);
    EXPECT_THROW(makeFirmware({"--group", "V3G", "--out", dir.file("x"), "--audio-size", "-1"}), std::runtime_error);
    EXPECT_THROW(makeFirmware({"--group", "V3G"}), std::runtime_error);
}
