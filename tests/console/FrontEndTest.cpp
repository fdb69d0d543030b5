// The console tool's front end: option pre-processing, the version query, the
// usage text, argument-count rules and the checks made before an action runs.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConsoleHarness.h"

namespace {

constexpr int kFailure = 255;  // exit status -1 as the shell sees it
constexpr size_t kUsageLines = 54;
const std::string kToolPath = VELTRION_BIN_DIR "/VemtoK4UtilsExe";
const std::string kUsageStart = "Usage: " + kToolPath + " <action arg> <arguments for given action arg>\n";
const std::string kVendorChannelLine = "Using channel: Veltrion-C\n";

bool printedUsage(const RunResult& r) { return r.says(kUsageStart); }

TEST(ConsoleFrontEnd, VersionIsPrintedAloneOnEitherChannel) {
    SimulatedBus bus;
    for (const auto& args : std::vector<std::vector<std::string>>{{"-v"}, {"--uvc", "-v"}, {"-v", "--uvc"}}) {
        const RunResult r = bus.tool(args);
        EXPECT_EQ(r.out, "version: 2.3.2\n") << args[0];
        EXPECT_EQ(r.status, 0) << args[0];
    }
}

TEST(ConsoleFrontEnd, UsageTextHasItsLinesAndNamesTheProgram) {
    SimulatedBus bus;
    const RunResult r = bus.tool({});
    EXPECT_EQ(r.status, kFailure);
    ASSERT_EQ(r.out.rfind(kUsageStart, 0), 0u) << r.out;
    const auto lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), kUsageLines);
    EXPECT_EQ(lines[2], "             -v - print the version of the tool: 2.3.2");
    EXPECT_EQ(lines[3],
              "             -b - Check number of broken \"WestBridge\" Veltrion2 is presence in the system");
    EXPECT_EQ(lines[20],
              "             --write-calib <num> <arg file> - write V2s calib params given by the <arg file>, "
              "where <arg file> is \":\" seperated key value pair per line");
    EXPECT_EQ(lines[37], "To check number of camera(s) is(are) in unbootable state: " + kToolPath + " -b ");
    EXPECT_EQ(lines[46], "To create a unified image file : " + kToolPath + " -uni <image1> <image2> ... <output image file>");
    EXPECT_EQ(lines[53], "   " + kToolPath + " -g 0 3 3 4 3");
}

TEST(ConsoleFrontEnd, MissingOrUnknownActionIsAUsageError) {
    SimulatedBus bus;
    // Only a log file, or only the channel option, leaves no action.
    for (const auto& args : std::vector<std::vector<std::string>>{{"-o", "log.txt"}, {"--uvc"}}) {
        const RunResult r = bus.tool(args);
        EXPECT_EQ(r.status, kFailure);
        EXPECT_EQ(r.out.rfind(kUsageStart, 0), 0u) << r.out;
    }
    // An unknown action is found only after the manager was built.
    const RunResult unknown = bus.tool({"-x", "0"});
    EXPECT_EQ(unknown.status, kFailure);
    EXPECT_EQ(unknown.out.rfind(kVendorChannelLine + kUsageStart, 0), 0u) << unknown.out;
    // Options are recognised in the first position only.
    const RunResult late = bus.tool({"0", "-d"});
    EXPECT_EQ(late.status, kFailure);
    EXPECT_TRUE(printedUsage(late));
}

TEST(ConsoleFrontEnd, LogFileOptionErrors) {
    SimulatedBus bus;
    const RunResult last = bus.tool({"-d", "all", "-o"});
    EXPECT_EQ(last.status, kFailure);
    EXPECT_EQ(last.out.rfind("ERROR: -o option missing path of the log file\n" + kUsageStart, 0), 0u) << last.out;

    const std::string unopenable = bus.workDir() + "/no/such/folder/log.txt";
    const RunResult bad = bus.tool({"-o", unopenable, "-d", "all"});
    EXPECT_EQ(bad.status, kFailure);
    EXPECT_EQ(bad.out, "ERROR: Unable to open log file " + unopenable + "\n");
}

TEST(ConsoleFrontEnd, EmptyBusFailsCameraSelection) {
    SimulatedBus bus;
    for (const auto& args : std::vector<std::vector<std::string>>{{"-d", "all"}, {"-d", "0"}, {"--reboot", "0"}}) {
        const RunResult r = bus.tool(args);
        EXPECT_EQ(r.status, kFailure) << args[0];
        EXPECT_EQ(r.out, kVendorChannelLine + "failed to get list of cams\n") << args[0];
    }
}

// Each case: the arguments after the program name, and whether the front end
// must refuse them as a usage error (true) or hand them to the action (false).
struct CountCase {
    std::vector<std::string> args;
    bool usage;
};

TEST(ConsoleFrontEnd, ArgumentCountRules) {
    SimulatedBus bus;
    const std::vector<std::string> nine{"a", "b", "c", "d", "e", "f", "g", "h", "out"};
    auto single = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{"-c"};
        args.insert(args.end(), nine.begin(), nine.end() - 1);
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(nine.back());
        return args;
    };
    const std::vector<CountCase> cases{
        {single({}), false},
        {single({"lut", "align", "SERIAL"}), false},
        {single({"lut"}), true},
        {single({"lut", "align"}), true},
        {{"-c", "a", "b", "c", "d", "e", "f", "g", "out"}, true},
        {{"-p", "0", "img"}, false},
        {{"-p", "0", "-f", "img"}, false},
        {{"-p", "0", "-f", "img", "extra"}, false},
        {{"-p", "0", "img", "extra"}, true},
        {{"-p", "0"}, true},
        {{"--uni", "a", "b", "out"}, false},
        {{"--uni", "a", "b"}, true},
        {{"-g", "0", "3", "3"}, false},
        {{"-g", "0", "3", "3", "4"}, true},
        {{"-g", "0", "3"}, true},
        {{"-d", "0", "extra"}, true},
        {{"-d"}, true},
        {{"-b", "0"}, true},
        {{"-r", "0", "0"}, true},
        {{"-e", "0", "0", "0"}, true},
        {{"--preset", "0", "save", "ptz"}, true},
        {{"--reboot"}, true},
    };
    for (const CountCase& c : cases) {
        const RunResult r = bus.tool(c.args);
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        EXPECT_EQ(printedUsage(r), c.usage) << line << "\n" << r.out;
        EXPECT_EQ(r.status, kFailure) << line;
    }
}

TEST(ConsoleFrontEnd, ChecksMadeBeforeTheAction) {
    SimulatedBus bus;
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);

    const RunResult faceBox = bus.tool({"--face-box", "0", "2"});
    EXPECT_EQ(faceBox.out, kVendorChannelLine + "enable argument can only be 0 or 1\n");
    EXPECT_EQ(faceBox.status, kFailure);

    const RunResult temperature = bus.tool({"--sensor-temp", "0"});
    EXPECT_EQ(temperature.out, kVendorChannelLine +
                                   "sensor temp can only be read from UVC channel. Please re-run the command with "
                                   "--uvc argument\n");
    EXPECT_EQ(temperature.status, kFailure);

    // An EEPROM address or length that cannot be read is a failed run.
    const RunResult address = bus.tool({"-m", "0", "zz", "4"});
    EXPECT_EQ(address.out, kVendorChannelLine + "unable to scan addr from zz\n");
    EXPECT_EQ(address.status, kFailure);
    const RunResult length = bus.tool({"-m", "0", "10", "x4"});
    EXPECT_EQ(length.out, kVendorChannelLine + "unable to scan length from x4\n");
    EXPECT_EQ(length.status, kFailure);
}

// Actions whose work this build does not have yet fail plainly.
TEST(ConsoleFrontEnd, ActionsNotInThisBuildFail) {
    SimulatedBus bus;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"-z", "0"}, "-z"},
        {{"-i", "0"}, "-i"},
        {{"--start-roi", "0"}, "--start-roi"},
        {{"--start-raw-face", "0"}, "--start-raw-face"},
        {{"--preset", "0", "save", "ptz", "1"}, "--preset"},
        {{"--fd-sen", "0", "0x100"}, "--fd-sen"},
        {{"--face-box", "0", "1"}, "--face-box"},
    };
    for (const auto& [args, action] : cases) {
        const RunResult r = bus.tool(args);
        EXPECT_TRUE(r.says(action + ": not available in this build\n")) << action << "\n" << r.out;
        EXPECT_FALSE(r.says("Succesfully")) << action;
        EXPECT_FALSE(r.says("SUccessfully")) << action;
        EXPECT_EQ(r.status, kFailure) << action;
    }
}

}  // namespace
