// The console tool's own camera actions on a simulated bus: device information
// (-d), broken-camera count (-b) and reboot (--reboot), with the log file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConsoleHarness.h"
#include "support/ForeignWriterLock.h"

namespace {

constexpr int kFailure = 255;  // exit status -1 as the shell sees it
const std::string kVendorChannelLine = "Using channel: Veltrion-C\n";
const std::string kSerial0 = "A1B2C3D4E5F6";
const std::string kSerial1 = "0123456789AB";

class TwoCameras : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(bus.sim({"add", "cam0", "--serial", kSerial0}).status, 0);
        ASSERT_EQ(bus.sim({"add", "cam1", "--pid", "c002", "--serial", kSerial1}).status, 0);
    }
    SimulatedBus bus;
};

// The lines of one ready camera's block, as prefixes; the state lines follow
// an empty line of their own.
std::vector<std::string> readyBlock(unsigned position, const std::string& productId, const std::string& serial) {
    return {"Device " + std::to_string(position) + " found:",
            "Vendor ID    = 0x3a7c",
            "Product ID   = 0x" + productId,
            "USB Bus Type = 0x",
            "SerialNumber = " + serial,
            "FPGA_Version = 0x",
            "FX3_Version  = 0x",
            "Audio_version= 0x",
            "ISP_version= 0x",
            "System Ready = 1",
            "",
            "USB Type = ",
            "5V external power present = ",
            "camera streaming status = 0"};
}

void expectLines(const std::string& out, const std::vector<std::string>& prefixes) {
    const auto lines = splitLines(out);
    ASSERT_EQ(lines.size(), prefixes.size()) << out;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(prefixes[i], 0), 0u) << "line " << i << ": " << lines[i];
        if (prefixes[i].empty()) {
            EXPECT_TRUE(lines[i].empty()) << "line " << i;
        }
    }
}

TEST_F(TwoCameras, DisplayAllShowsBothBlocksInListOrder) {
    const RunResult r = bus.tool({"-d", "all"});
    EXPECT_EQ(r.status, 0) << r.out;
    std::vector<std::string> expected{"Using channel: Veltrion-C"};
    for (const auto& line : readyBlock(0, "0003", kSerial0)) expected.push_back(line);
    expected.push_back("");
    for (const auto& line : readyBlock(1, "c002", kSerial1)) expected.push_back(line);
    expectLines(r.out, expected);
    // Factory firmware answers with real versions, not the unread marker.
    EXPECT_FALSE(r.says("_Version = 0xffff\n")) << r.out;
    EXPECT_FALSE(r.says("_version= 0x0000ffff\n")) << r.out;
}

TEST_F(TwoCameras, DisplayOneShowsOnlyThatCamera) {
    const RunResult r = bus.tool({"-d", "1"});
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> expected{"Using channel: Veltrion-C"};
    for (const auto& line : readyBlock(1, "c002", kSerial1)) expected.push_back(line);
    expectLines(r.out, expected);
}

TEST_F(TwoCameras, BadCameraNumbers) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"5", "cam 5 is not available - only 2 cams avail\n"},
        {"2", "cam 2 is not available - only 2 cams avail\n"},
        {"4294967296", "cam 4294967296 is not available - only 2 cams avail\n"},
        {"-1", "unable to scan camera number from -1\n"},
        {"1x", "unable to scan camera number from 1x\n"},
        {" 1", "unable to scan camera number from  1\n"},
        {"abc", "unable to scan camera number from abc\n"},
        {"All", "unable to scan camera number from All\n"},
    };
    for (const auto& [selector, message] : cases) {
        const RunResult r = bus.tool({"-d", selector});
        EXPECT_EQ(r.out, kVendorChannelLine + message) << selector;
        EXPECT_EQ(r.status, kFailure) << selector;
    }
    // -p reads its selector itself: 2^32 must not wrap to camera 0.
    const RunResult update = bus.tool({"-p", "4294967296", "image.img"});
    EXPECT_EQ(update.out, kVendorChannelLine + "updateCameraFirmware: no such camera id 4294967296\n");
    EXPECT_EQ(update.status, kFailure);
    const RunResult signedNumber = bus.tool({"-p", "+0", "image.img"});
    EXPECT_EQ(signedNumber.out, kVendorChannelLine + "updateCameraFirmware: unable to scan camera number from +0\n");
}

TEST_F(TwoCameras, LogFileGetsTheLoggedLinesWhereverTheOptionStands) {
    const std::string logPath = bus.workDir() + "/log.txt";
    std::string firstLog;
    for (const auto& args : std::vector<std::vector<std::string>>{{"-o", "log.txt", "-d", "all"},
                                                                  {"-d", "all", "-o", "log.txt"},
                                                                  {"-d", "-o", "log.txt", "all"}}) {
        const RunResult r = bus.tool(args);
        EXPECT_EQ(r.status, 0);
        ASSERT_EQ(r.out.rfind(kVendorChannelLine, 0), 0u);
        const std::string logged = readFile(logPath);
        EXPECT_EQ(logged, r.out.substr(kVendorChannelLine.size()));
        if (firstLog.empty()) firstLog = logged;
        EXPECT_EQ(logged, firstLog);
    }
    // The file is rewritten by every run, failures included.
    const RunResult bad = bus.tool({"-d", "9", "-o", "log.txt"});
    EXPECT_EQ(bad.status, kFailure);
    EXPECT_EQ(readFile(logPath), "cam 9 is not available - only 2 cams avail\n");
}

TEST_F(TwoCameras, StateLinesShowTheCamerasState) {
    ASSERT_EQ(bus.sim({"set", "cam0", "usb-type", "3"}).status, 0);
    ASSERT_EQ(bus.sim({"set", "cam0", "ext-power", "1"}).status, 0);
    ASSERT_EQ(bus.sim({"set", "cam0", "streaming", "1"}).status, 0);
    const RunResult r = bus.tool({"-d", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.says("System Ready = 1\n\nUSB Type = 3\n5V external power present = 1\n"
                       "camera streaming status = 1\n"))
        << r.out;
}

TEST_F(TwoCameras, CameraNotReadyShowsNoStateLines) {
    ASSERT_EQ(bus.sim({"set", "cam0", "system-loaded", "0"}).status, 0);
    const RunResult r = bus.tool({"-d", "all"});
    EXPECT_EQ(r.status, 0) << r.out;
    const auto blockEnd = r.out.find("Device 1 found:");
    ASSERT_NE(blockEnd, std::string::npos);
    const std::string first = r.out.substr(0, blockEnd);
    EXPECT_TRUE(first.find("System Ready = 0\n\n") != std::string::npos) << first;
    EXPECT_EQ(first.find("USB Type"), std::string::npos);
    EXPECT_EQ(first.find("5V external power"), std::string::npos);
    EXPECT_EQ(first.find("streaming status"), std::string::npos);
    // The versions of a camera that is not ready are not asked for.
    EXPECT_TRUE(first.find("FPGA_Version = 0xffff\n") != std::string::npos) << first;
    EXPECT_TRUE(r.out.substr(blockEnd).find("camera streaming status = ") != std::string::npos);
}

TEST_F(TwoCameras, RebootResetsTheCameraWhichComesBack) {
    const long before0 = bus.stat("cam0", "resets");
    const long before1 = bus.stat("cam1", "resets");
    ASSERT_GE(before0, 0) << "stats lists no resets counter";

    const RunResult reboot = bus.tool({"--reboot", "0"});
    EXPECT_EQ(reboot.out, kVendorChannelLine);
    EXPECT_EQ(reboot.status, 0);
    EXPECT_EQ(bus.stat("cam0", "resets"), before0 + 1);
    EXPECT_EQ(bus.stat("cam1", "resets"), before1);

    const RunResult after = bus.tool({"-d", "0"});
    EXPECT_EQ(after.status, 0) << after.out;
    EXPECT_TRUE(after.says("SerialNumber = " + kSerial0 + "\n"));

    const RunResult all = bus.tool({"--reboot", "all"});
    EXPECT_EQ(all.status, 0) << all.out;
    EXPECT_EQ(bus.stat("cam0", "resets"), before0 + 2);
    EXPECT_EQ(bus.stat("cam1", "resets"), before1 + 1);

    // A camera another process is writing is not reset; "all" resets the others.
    const ForeignWriterLock writer(std::filesystem::path(bus.busDir()) / "cam0" / "writer.lock");
    ASSERT_TRUE(writer.held());
    const RunResult busy = bus.tool({"--reboot", "0"});
    EXPECT_EQ(busy.status, kFailure);
    EXPECT_TRUE(busy.says("camera busy")) << busy.out;
    const RunResult busyAll = bus.tool({"--reboot", "all"});
    EXPECT_EQ(busyAll.status, kFailure);
    EXPECT_EQ(bus.stat("cam0", "resets"), before0 + 2);
    EXPECT_EQ(bus.stat("cam1", "resets"), before1 + 2);
}

TEST(BrokenCameras, BlankCameraIsCountedButNotListed) {
    SimulatedBus bus;
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);

    const RunResult none = bus.tool({"-b"});
    EXPECT_EQ(none.out, kVendorChannelLine + "There is no Broken \"WestBridge\" Veltrion2 camera(s) in the system\n");
    EXPECT_EQ(none.status, kFailure);

    ASSERT_EQ(bus.sim({"add", "dead", "--blank"}).status, 0);
    const RunResult one = bus.tool({"-b"});
    EXPECT_EQ(one.out,
              kVendorChannelLine + "There is(are) 1 Broken \"WestBridge\" Veltrion2 camera(s) in the system\n");
    EXPECT_EQ(one.status, 0);

    const RunResult listed = bus.tool({"-d", "all"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_TRUE(listed.says("Device 0 found:\n"));
    EXPECT_FALSE(listed.says("Device 1 found:\n")) << listed.out;
}

}  // namespace
