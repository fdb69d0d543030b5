// Every built console action on the UVC channel (--uvc): the same identities,
// versions, flash bytes and update results as on the vendor channel.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ConsoleHarness.h"

namespace {

constexpr int kFailure = 255;
const std::string kUvcLine = "Using channel: UVC\n";
const std::string kVendorLine = "Using channel: Veltrion-C\n";

class UvcActions : public ::testing::Test {
protected:
    RunResult uvc(std::vector<std::string> args) const {
        args.insert(args.begin() + 1, "--uvc");
        return bus.tool(args);
    }
    // What an action prints after its channel line, without the UVC
    // channel's note that it opened the camera's capture source.
    static std::string body(const RunResult& run, const std::string& channelLine) {
        EXPECT_EQ(run.out.rfind(channelLine, 0), 0u) << run.out;
        std::string text;
        for (const auto& line : splitLines(run.out.substr(std::min(run.out.size(), channelLine.size()))))
            if (line.rfind("creating new MF source for dev ", 0) != 0) text += line + "\n";
        return text;
    }
    std::vector<uint8_t> flash(const std::string& camera) const {
        const std::string bytes = readFile(bus.busDir() + "/" + camera + "/flash.bin");
        return {bytes.begin(), bytes.end()};
    }
    std::string buildImage(const std::string& name, const std::vector<std::string>& options) {
        std::vector<std::string> args{"make-firmware", "--out", bus.workDir() + "/" + name};
        args.insert(args.end(), options.begin(), options.end());
        const RunResult made = bus.sim(args);
        EXPECT_EQ(made.status, 0) << made.out << made.err;
        std::vector<std::string> create{"-c", "--uvc"};  // needs no camera on either channel
        std::istringstream words(splitLines(made.out).back());
        for (std::string word; words >> word;) create.push_back(word);
        const std::string image = bus.workDir() + "/" + name + ".img";
        create.push_back(image);
        const RunResult created = bus.tool(create);
        EXPECT_EQ(created.status, 0) << created.out;
        return image;
    }

    SimulatedBus bus;
};

TEST_F(UvcActions, ReadingActionsAnswerAsOnTheVendorChannel) {
    ASSERT_EQ(bus.sim({"add", "cam0", "--pid", "c002", "--serial", "A1B2C3D4E5F6"}).status, 0);
    const std::vector<std::vector<std::string>> actions{
        {"-r", "0", "0x10000", "300"}, {"-m", "0", "0", "16"}, {"-s", "0"},
        {"-g", "0", "3", "3", "1", "3"}, {"--read-calib", "0"}};
    for (const auto& action : actions) {
        std::vector<std::string> args = action;
        const RunResult usb = bus.tool(args);
        const RunResult video = uvc(args);
        EXPECT_EQ(video.status, usb.status) << action[0];
        EXPECT_EQ(body(video, kUvcLine), body(usb, kVendorLine)) << action[0];
    }

    // -d: the same block, but the video function does not tell the bus speed.
    const RunResult d = uvc({"-d", "0"});
    EXPECT_EQ(d.status, 0);
    for (const char* line : {"SerialNumber = A1B2C3D4E5F6\n", "Product ID   = 0xc002\n", "USB Bus Type = 0x0000\n",
                             "System Ready = 1\n"})
        EXPECT_TRUE(d.says(line)) << line << d.out;

    const std::string json = bus.workDir() + "/cam.json";
    ASSERT_EQ(uvc({"-j", "0", json}).status, 0);
    ASSERT_EQ(bus.tool({"-j", "0", json + ".usb"}).status, 0);
    EXPECT_EQ(readFile(json), readFile(json + ".usb"));

    // Boot-mode controllers have no video function to be counted by.
    ASSERT_EQ(bus.sim({"add", "dead", "--blank"}).status, 0);
    EXPECT_EQ(uvc({"-b"}).out, kUvcLine + "There is no Broken \"WestBridge\" Veltrion2 camera(s) in the system\n");
}

TEST_F(UvcActions, WritesLandInFlash) {
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);
    ASSERT_EQ(uvc({"-w", "0", "0x7FF000", "0x0102aB"}).status, 0);
    EXPECT_EQ(body(uvc({"-r", "0", "0x7FF000", "3"}), kUvcLine), "0x0102ab\n");
    EXPECT_EQ(flash("cam0")[0x7FF002], 0xAB);
    ASSERT_EQ(uvc({"-e", "0", "0x7FF001"}).status, 0);
    EXPECT_EQ(flash("cam0")[0x7FF000], 0xFF);

    const std::string file = bus.workDir() + "/calib.txt";
    {
        std::ofstream out(file);
        out << "focal length 1: 1201.5\noverlapx 0: 77\n";
    }
    ASSERT_EQ(bus.sim({"add", "cam1", "--pid", "c002"}).status, 0);
    ASSERT_EQ(uvc({"--write-calib", "1", file}).status, 0);
    const RunResult read = bus.tool({"--read-calib", "1"});
    EXPECT_TRUE(read.says("focal length 1: 1201.500\n")) << read.out;
    EXPECT_TRUE(read.says("overlapx 0: 77\n")) << read.out;
}

TEST_F(UvcActions, UpdateOverTheUvcChannelWritesWhatTheVendorChannelWrites) {
    ASSERT_EQ(bus.sim({"add", "usb0", "--serial", "000000000001"}).status, 0);
    ASSERT_EQ(bus.sim({"add", "uvc0", "--serial", "000000000002"}).status, 0);
    const std::string image = buildImage("newer", {"--group", "V3G"});

    // Camera 0 is usb0 on both channels (the keys sort by name too).
    const RunResult check = uvc({"-t", "1", image});
    EXPECT_TRUE(check.says("Device 1's firmware can be updated")) << check.out;
    const RunResult update = uvc({"-p", "1", image});
    ASSERT_EQ(update.status, 0) << update.out;
    EXPECT_TRUE(update.says("Update Successful: Please reboot the updated camera\n")) << update.out;
    ASSERT_EQ(bus.tool({"-p", "0", image}).status, 0);

    // Both flashes now hold the same firmware; only the configuration block
    // and the lookup table (serial number, factory data) differ.
    constexpr size_t kConfigStart = 0x80000, kUnitDataEnd = 0xB0000;
    const auto overUsb = flash("usb0"), overUvc = flash("uvc0");
    ASSERT_EQ(overUsb.size(), overUvc.size());
    EXPECT_TRUE(std::equal(overUsb.begin(), overUsb.begin() + kConfigStart, overUvc.begin()));
    EXPECT_TRUE(std::equal(overUsb.begin() + kUnitDataEnd, overUsb.end(), overUvc.begin() + kUnitDataEnd));
    ASSERT_EQ(uvc({"--reboot", "1"}).status, 0);
    EXPECT_TRUE(uvc({"-d", "1"}).says("FX3_Version  = 0x43020000\n"));
    EXPECT_TRUE(uvc({"-t", "1", image}).says("Device 1 already has the up-to-date firmware\n"));
    EXPECT_EQ(uvc({"-p", "7", image}).status, kFailure);
}

}  // namespace

namespace {

// Two cameras whose capture sources carry the same name and serial: each
// action reaches the camera it names, and a bulk update writes both.
TEST_F(UvcActions, TwinsWithOneNameAndSerialAreToldApart) {
    for (const char* name : {"cam0", "cam1"}) {
        ASSERT_EQ(bus.sim({"add", name, "--serial", "A1B2C3D4E5F6"}).status, 0);
        ASSERT_EQ(bus.sim({"set", name, "friendly-name", "Panorama"}).status, 0);
    }
    const RunResult list = uvc({"-d", "all"});
    EXPECT_EQ(list.status, 0) << list.out;

    ASSERT_EQ(uvc({"-w", "1", "0x7f0000", "0x0102"}).status, 0);
    EXPECT_EQ(flash("cam1")[0x7f0000], 0x01);
    EXPECT_EQ(flash("cam1")[0x7f0001], 0x02);
    EXPECT_EQ(flash("cam0")[0x7f0000], 0xFF);

    const std::string image = buildImage("newer", {"--group", "V3G"});
    const RunResult update = uvc({"-p", "all", "-f", image});
    ASSERT_EQ(update.status, 0) << update.out;
    EXPECT_TRUE(update.says("Update Successful")) << update.out;
    const auto first = flash("cam0"), second = flash("cam1");
    constexpr size_t kConfigStart = 0x80000, kConfigEnd = 0x90000;
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + kConfigStart, second.begin()));
    EXPECT_TRUE(std::equal(first.begin() + kConfigEnd, first.begin() + 0x7f0000, second.begin() + kConfigEnd));
}

}  // namespace
