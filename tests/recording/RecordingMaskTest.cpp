// veltrion-sim recording mask: a recording of console runs on the simulator
// with its serial numbers and unit data replaced still replays to the same
// exit status, and holds none of the originals.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ConsoleHarness.h"
#include "device/recording/RecordingFile.h"

namespace {

const std::string kCalibrated = "A1B2C3D4E5F6";  // a V2s camera: its block carries calibration
const std::string kPlain = "Z9Y8X7W6V5U4";

// A recording's content, decompressed.
std::string contentOf(const std::string& path) {
    const std::string file = readFile(path);
    std::vector<uint8_t> content;
    std::string error;
    EXPECT_TRUE(veltrion::recording::inflateRecording(reinterpret_cast<const uint8_t*>(file.data()), file.size(),
                                                      content, error))
        << error;
    return {content.begin(), content.end()};
}

std::string utf16(const std::string& text) {
    std::string wide;
    for (char c : text) wide += {c, '\0'};
    return wide;
}

bool holds(const std::string& content, const std::string& text) {
    return content.find(text) != std::string::npos || content.find(utf16(text)) != std::string::npos;
}

// The lines of text that name one of the given fields.
std::vector<std::string> linesNaming(const std::string& text, const std::vector<std::string>& names) {
    std::vector<std::string> found;
    for (const std::string& line : splitLines(text))
        for (const std::string& name : names)
            if (line.find(name) != std::string::npos) found.push_back(line);
    return found;
}

struct MaskedRun {
    RunResult recorded;
    RunResult replayed;
    std::string original;  // the recordings' content
    std::string masked;
};

class MaskedRecordings : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(bus.sim({"add", "cam0", "--pid", "c002", "--serial", kCalibrated}).status, 0);
        ASSERT_EQ(bus.sim({"add", "cam1", "--serial", kPlain}).status, 0);
    }

    std::string file(const std::string& name) const { return bus.workDir() + "/" + name; }

    // Records args, masks the recording and replays the masked one: the
    // replay ends as the recorded run did.
    MaskedRun recordMaskAndReplay(const std::string& name, std::vector<std::string> args) {
        MaskedRun run;
        const std::vector<std::string> replayArgs = args;
        args.insert(args.end(), {"--record", file(name + ".rec")});
        run.recorded = bus.tool(args);
        const RunResult masked = bus.sim({"recording", "mask", file(name + ".rec"), file(name + ".masked.rec")});
        EXPECT_EQ(masked.status, 0) << masked.err;
        run.replayed = bus.replay(file(name + ".masked.rec"), replayArgs);
        EXPECT_EQ(run.replayed.status, run.recorded.status) << name << "\n" << run.replayed.out << run.replayed.err;
        EXPECT_EQ(run.replayed.err, "") << name;
        run.original = contentOf(file(name + ".rec"));
        run.masked = contentOf(file(name + ".masked.rec"));
        return run;
    }

    SimulatedBus bus;
};

TEST_F(MaskedRecordings, SerialsAreReplacedEverywhereAndStayApart) {
    for (const auto& args : {std::vector<std::string>{"-d", "all"}, std::vector<std::string>{"--uvc", "-d", "all"}}) {
        const MaskedRun run = recordMaskAndReplay(args[0] == "--uvc" ? "uvc-list" : "list", args);
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(run.recorded.status, 0);
        for (const std::string& serial : {kCalibrated, kPlain}) {
            EXPECT_TRUE(holds(run.original, serial)) << serial;
            EXPECT_FALSE(holds(run.masked, serial)) << serial;
        }
        // Each camera has its own replacement, of the same length.
        const auto serialLines = linesNaming(run.replayed.out, {"SerialNumber = "});
        ASSERT_EQ(serialLines.size(), 2u) << run.replayed.out;
        EXPECT_NE(serialLines[0], serialLines[1]);
        for (const std::string& line : serialLines) {
            const std::string serial = line.substr(line.find("= ") + 2);
            EXPECT_EQ(serial.size(), kCalibrated.size()) << line;
            EXPECT_EQ(serial.rfind("MASK", 0), 0u) << line;
        }
    }
}

TEST_F(MaskedRecordings, UnitDataIsReplacedAndReadsAndWritesStillReplay) {
    const std::vector<std::string> unitFields{"ctg", "jpeg", "focal", "k1 ", "hfov", "overlap", "cylinderR"};
    const MaskedRun block = recordMaskAndReplay("block", {"-s", "0"});
    const MaskedRun calibration = recordMaskAndReplay("calibration", {"--read-calib", "0"});
    const MaskedRun uvcBlock = recordMaskAndReplay("uvc-block", {"--uvc", "-s", "0"});
    for (const MaskedRun* run : {&block, &calibration, &uvcBlock}) {
        EXPECT_EQ(run->recorded.status, 0) << run->recorded.out;
        const auto recordedValues = linesNaming(run->recorded.out, unitFields);
        const auto replayedValues = linesNaming(run->replayed.out, unitFields);
        ASSERT_GE(recordedValues.size(), 15u) << run->recorded.out;
        ASSERT_EQ(replayedValues.size(), recordedValues.size());
        // No value of the unit shows in the replay of the masked recording.
        for (size_t i = 0; i < recordedValues.size(); ++i) EXPECT_NE(replayedValues[i], recordedValues[i]);
        EXPECT_FALSE(holds(run->masked, kCalibrated));
    }
    EXPECT_TRUE(calibration.replayed.says("focal length 0: 1000.000")) << calibration.replayed.out;

    // A rewrite of the block carries the masked bytes it read and the values
    // the file brings, and its read-back verifies: the replay runs through.
    const std::string values = file("calib.txt");
    std::ofstream(values) << "focal length 1: 1201.5\noverlapx 0: 77\n";
    for (const std::vector<std::string>& channel : {std::vector<std::string>{}, std::vector<std::string>{"--uvc"}}) {
        std::vector<std::string> args = channel;
        args.insert(args.end(), {"--write-calib", "0", values});
        const MaskedRun write = recordMaskAndReplay(channel.empty() ? "write" : "uvc-write", args);
        EXPECT_EQ(write.recorded.status, 0) << write.recorded.out;
        EXPECT_FALSE(holds(write.masked, kCalibrated));
        // A fresh camera for the next run: one that holds the file's values
        // already writes them back unchanged, which no mask can tell from
        // values carried over from the read.
        ASSERT_EQ(bus.sim({"remove", "cam0"}).status, 0);
        ASSERT_EQ(bus.sim({"add", "cam0", "--pid", "c002", "--serial", kCalibrated}).status, 0);
    }
}

TEST_F(MaskedRecordings, ADamagedRecordingIsNotMasked) {
    ASSERT_EQ(bus.tool({"-d", "all", "--record", file("list.rec")}).status, 0);
    const std::string bytes = readFile(file("list.rec"));
    std::ofstream(file("cut.rec"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    const RunResult cut = bus.sim({"recording", "mask", file("cut.rec"), file("cut.masked.rec")});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(splitLines(cut.err).size(), 1u) << cut.err;
    EXPECT_FALSE(std::filesystem::exists(file("cut.masked.rec")));
    const RunResult unwritable = bus.sim({"recording", "mask", file("list.rec"), file("no/such/folder.rec")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(splitLines(unwritable.err).size(), 1u) << unwritable.err;
}

}  // namespace
