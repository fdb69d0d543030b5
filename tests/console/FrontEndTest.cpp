// The console tool's front end: option pre-processing, the version query, the
// usage text, argument-count rules and the checks made before an action runs.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ConsoleHarness.h"

namespace {

constexpr int kFailure = 255;  // exit status -1 as the shell sees it
constexpr size_t kUsageLines = 56;  // with the lines of -p all --jobs and --record
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
    EXPECT_EQ(lines[8], "             -p all [-f] --jobs <N> - the same as -p all, updating up to N cameras at once");
    EXPECT_EQ(lines[22],
              "             --write-calib <num> <arg file> - write V2s calib params given by the <arg file>, "
              "where <arg file> is \":\" seperated key value pair per line");
    EXPECT_EQ(lines[39], "To check number of camera(s) is(are) in unbootable state: " + kToolPath + " -b ");
    EXPECT_EQ(lines[48], "To create a unified image file : " + kToolPath + " -uni <image1> <image2> ... <output image file>");
    EXPECT_EQ(lines[55], "   " + kToolPath + " -g 0 3 3 4 3");
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

    // A log named like a file of the action (itself, a link, a hard link) is
    // refused before anything is opened: the file keeps its bytes.
    const std::string input = bus.workDir() + "/input.bin";
    { std::ofstream(input) << "image bytes"; }
    std::filesystem::create_symlink(input, bus.workDir() + "/link.bin");
    std::filesystem::create_hard_link(input, bus.workDir() + "/hard.bin");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-p", "0", "input.bin", "-o", "input.bin"},
          {"--write-calib", "0", input, "-o", "link.bin"},
          {"-o", "hard.bin", "-c", "a", "b", "c", "d", "e", "f", "g", "h", input}}) {
        const RunResult same = bus.tool(args);
        EXPECT_EQ(same.status, kFailure) << args[0];
        EXPECT_EQ(same.out.rfind("ERROR: log file ", 0), 0u) << same.out;
        EXPECT_EQ(readFile(input), "image bytes");
    }

    // A log that cannot be written warns once on standard error; the run goes on.
    const RunResult full = bus.tool({"-o", "/dev/full", "-d", "all"});
    EXPECT_EQ(full.status, kFailure);
    EXPECT_EQ(full.err, "WARNING: unable to write the log file /dev/full: No space left on device\n");
    EXPECT_TRUE(full.says("failed to get list of cams\n")) << full.out;
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
        {{"-uni", "a", "b", "out"}, false},  // the spelling of the usage examples
        {{"-uni", "a", "b"}, true},
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
    // Neither trailing text, a sign nor 32 bits' overflow passes.
    EXPECT_EQ(bus.tool({"-m", "0", "10", "4x"}).out, kVendorChannelLine + "unable to scan length from 4x\n");
    EXPECT_EQ(bus.tool({"-m", "0", "10", "-1"}).out, kVendorChannelLine + "unable to scan length from -1\n");
    const RunResult wide = bus.tool({"-m", "0", "0x100000010", "4"});
    EXPECT_EQ(wide.out,
              kVendorChannelLine + "displayEEPROMData: addr 0x100000010 beyond the EEPROM's 16-bit addresses\n");
    EXPECT_EQ(wide.status, kFailure);

    // --jobs belongs to -p all alone.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-p", "0", "img", "--jobs", "2"},
                                                 {"--jobs", "2", "-d", "all"}}) {
        const RunResult jobs = bus.tool(args);
        EXPECT_EQ(jobs.status, kFailure);
        EXPECT_EQ(jobs.out, kVendorChannelLine + "ERROR: --jobs applies to -p all only\n");
    }
}

// Lines reach a pipe as they are written, not when the run ends: the tool
// below waits to open its argument file (a FIFO) until the test has seen its
// first line.
TEST(ConsoleFrontEnd, StandardOutputIsLineBuffered) {
    SimulatedBus bus;
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);
    const std::string fifo = bus.workDir() + "/calib.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const StartedProgram tool = bus.startTool({"--write-calib", "0", fifo});

    std::string seen;
    pollfd output{tool.outFd, POLLIN, 0};
    constexpr int kPatienceMs = 30000;  // only bounds the wait when the line never comes
    while (seen.find('\n') == std::string::npos && poll(&output, 1, kPatienceMs) == 1) {
        char buffer[256];
        const ssize_t count = read(tool.outFd, buffer, sizeof buffer);
        if (count <= 0) break;
        seen.append(buffer, static_cast<size_t>(count));
    }
    EXPECT_EQ(seen, kVendorChannelLine);

    // Feed the FIFO once the tool has it open for reading, so it goes on and ends.
    constexpr int kOpenAttempts = 3000;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            const std::string line = "no colon here\n";
            EXPECT_EQ(write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
            close(fd);
            break;
        }
        if (waitpid(tool.pid, nullptr, WNOHANG) != 0) break;  // it ended without reading
        usleep(10000);
    }
    const RunResult rest = finishProgram(tool);
    EXPECT_EQ(rest.out,
              "failed to get existing calib params, maybe nothing has written before.\n"
              "no \":\" found at line no colon here\n");
    EXPECT_EQ(rest.status, kFailure);
}

}  // namespace
