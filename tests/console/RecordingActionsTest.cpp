// Recording a console run and replaying it without the camera: the same
// output and exit status on both channels; a changed request or a damaged
// recording ends the run with one "replay:" line and exit status 255.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ConsoleHarness.h"

namespace {

constexpr int kFailure = 255;

class RecordedRuns : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(bus.sim({"add", "cam0", "--serial", "A1B2C3D4E5F6"}).status, 0); }

    std::string file(const std::string& name) const { return bus.workDir() + "/" + name; }

    // Runs args with "--record <file>" inserted at position, then replays
    // the recording with no camera present and expects the same.
    RunResult expectSameOnReplay(const std::string& name, std::vector<std::string> args, size_t position = 0) {
        const std::string recording = file(name + ".rec");
        const std::vector<std::string> replayArgs = args;
        args.insert(args.begin() + static_cast<std::ptrdiff_t>(std::min(position, args.size())),
                    {"--record", recording});
        const RunResult recorded = bus.tool(args);
        const RunResult replayed = bus.replay(recording, replayArgs);
        EXPECT_EQ(replayed.status, recorded.status) << name << "\n" << replayed.err;
        EXPECT_EQ(replayed.out, recorded.out) << name;
        EXPECT_EQ(replayed.err, "") << name;
        return recorded;
    }

    std::string buildImage(const std::string& name) {
        const RunResult made = bus.sim({"make-firmware", "--group", "V3G", "--fpga-size", "4096", "--fx3",
                                        "C0.3.0.0", "--out", file(name)});
        EXPECT_EQ(made.status, 0) << made.err;
        std::vector<std::string> create{"-c"};
        std::istringstream words(splitLines(made.out).back());
        for (std::string word; words >> word;) create.push_back(word);
        create.push_back(file(name + ".img"));
        EXPECT_EQ(bus.tool(create).status, 0);
        return file(name + ".img");
    }

    // One line on standard error, starting with prefix.
    static void expectOneReplayLine(const RunResult& run, const std::string& prefix) {
        EXPECT_EQ(run.status, kFailure);
        const auto lines = splitLines(run.err);
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_EQ(lines[0].rfind(prefix, 0), 0u) << lines[0];
    }

    SimulatedBus bus;
};

TEST_F(RecordedRuns, VendorChannelActionsReplayAsRecorded) {
    const std::string image = buildImage("fw");
    EXPECT_TRUE(expectSameOnReplay("list", {"-d", "all"}, 0).says("SerialNumber = A1B2C3D4E5F6"));
    expectSameOnReplay("check", {"-t", "0", image}, 2);
    EXPECT_TRUE(expectSameOnReplay("update", {"-p", "0", "-f", image}, 4).says("Update Successful"));
    expectSameOnReplay("config", {"-s", "0"}, 1);
    expectSameOnReplay("reboot", {"--reboot", "0"});
    // A failing run replays with its failure.
    EXPECT_EQ(expectSameOnReplay("absent", {"-d", "3"}).status, kFailure);
}

TEST_F(RecordedRuns, UvcChannelActionsReplayAsRecorded) {
    const std::string image = buildImage("fw");
    EXPECT_TRUE(expectSameOnReplay("uvc-list", {"--uvc", "-d", "all"}).says("SerialNumber = A1B2C3D4E5F6"));
    EXPECT_TRUE(expectSameOnReplay("uvc-update", {"--uvc", "-p", "0", "-f", image}, 5).says("Update Successful"));
    expectSameOnReplay("uvc-controls", {"--uvc", "--sensor-temp", "0"});
}

TEST_F(RecordedRuns, AWaitThatTimedOutGivesUpAtTheSameRequest) {
    // The flash never leaves busy: the recorded run polls until its time-out,
    // and the replay (which takes no time) polls exactly as often.
    ASSERT_EQ(bus.sim({"fault", "cam0", "busy-stuck", "1"}).status, 0);
    const RunResult stuck = expectSameOnReplay("stuck", {"-e", "0", "0x700000"});
    EXPECT_EQ(stuck.status, kFailure);
    EXPECT_TRUE(stuck.says("erase sector 0x00700000 timeout")) << stuck.out;
}

TEST_F(RecordedRuns, AChangedRequestEndsTheReplayNamingBoth) {
    const std::string recording = file("read.rec");
    ASSERT_EQ(bus.tool({"-r", "0", "0x10000", "16", "--record", recording}).status, 0);
    const RunResult changed = bus.replay(recording, {"-r", "0", "0x10100", "16"});
    expectOneReplayLine(changed, "replay: exchange ");
    EXPECT_NE(changed.err.find("recorded usb control type "), std::string::npos) << changed.err;
    EXPECT_NE(changed.err.find("index 0x0000"), std::string::npos) << changed.err;
    EXPECT_NE(changed.err.find("the program sent usb control type "), std::string::npos) << changed.err;
    EXPECT_NE(changed.err.find("index 0x0100"), std::string::npos) << changed.err;
    // Another action goes further than the recording holds.
    expectOneReplayLine(bus.replay(recording, {"-r", "0", "0x10000", "600"}), "replay: exchange ");
}

TEST_F(RecordedRuns, ADamagedOrTruncatedRecordingIsRefused) {
    const std::string recording = file("list.rec");
    ASSERT_EQ(bus.tool({"--record", recording, "-d", "all"}).status, 0);
    const std::string bytes = readFile(recording);
    ASSERT_GT(bytes.size(), 40u);
    const auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(file(name), std::ios::binary) << content;
        return file(name);
    };
    std::string flipped = bytes;
    flipped[bytes.size() / 2] = static_cast<char>(flipped[bytes.size() / 2] ^ 0x5A);
    for (const std::string& damaged :
         {write("half.rec", bytes.substr(0, bytes.size() / 2)), write("flipped.rec", flipped),
          write("cut.rec", bytes.substr(0, bytes.size() - 3)), write("text.rec", "not a recording\n"),
          write("empty.rec", ""), file("missing.rec")}) {
        SCOPED_TRACE(damaged);
        const RunResult run = bus.replay(damaged, {"-d", "all"});
        expectOneReplayLine(run, "replay: cannot use the recording " + damaged + ": ");
    }
}

TEST_F(RecordedRuns, AListingShowsEachExchangeAndSaysWhereARecordingEnds) {
    const std::string recording = file("read.rec");
    ASSERT_EQ(bus.tool({"-r", "0", "0x10000", "16", "--record", recording}).status, 0);
    const RunResult shown = bus.sim({"recording", "show", recording});
    EXPECT_EQ(shown.status, 0) << shown.err;
    const auto lines = splitLines(shown.out);
    ASSERT_GT(lines.size(), 3u);
    EXPECT_EQ(lines[0], "recording by VemtoK4UtilsExe, format 2");
    EXPECT_NE(lines[1].find("usb list  -> 0, 1 devices"), std::string::npos) << lines[1];
    EXPECT_NE(shown.out.find("usb control type df request c3 value 0x0001 index 0x0000 length 256  #1 -> 256 ["), std::string::npos)
        << shown.out;

    const std::string bytes = readFile(recording);
    std::ofstream(file("cut.rec"), std::ios::binary) << bytes.substr(0, bytes.size() - 8);
    const RunResult cut = bus.sim({"recording", "show", file("cut.rec")});
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.err.find("truncated"), std::string::npos) << cut.err;
}

TEST_F(RecordedRuns, ARecordingThatCannotBeWrittenStopsTheRunBeforeAnyCamera) {
    const RunResult run = bus.tool({"-e", "0", "0x700000", "--record", file("no/such/folder.rec")});
    EXPECT_EQ(run.status, kFailure);
    EXPECT_TRUE(run.says("ERROR: Unable to record: cannot create " + file("no/such/folder.rec"))) << run.out;
    EXPECT_FALSE(run.says("Using channel"));
    EXPECT_EQ(bus.stat("cam0", "sectors-erased-4k"), 0);
    EXPECT_TRUE(bus.tool({"-d", "all", "--record"}).says("ERROR: --record option missing path"));
}

}  // namespace
