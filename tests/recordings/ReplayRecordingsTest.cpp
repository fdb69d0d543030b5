// Replays the recordings kept in this folder through the unmodified console
// tool, with no camera: each must give its recorded exit status and output.
// A change to the requests the tool sends fails here with the "replay:" line;
// when the change is meant, scripts/renew-recordings records them anew.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>

#include "RecordedActions.h"
#include "console/ConsoleHarness.h"

namespace recordings {

// Test names and failure messages show the action by its name.
void PrintTo(const RecordedAction& action, std::ostream* out) { *out << action.name; }

}  // namespace recordings

namespace {

using recordings::RecordedAction;

constexpr int kReplayFailure = 255;
// Where the renewal writes; unset, the renewal refuses to run.
constexpr const char* kRenewVariable = "VELTRION_RENEW_INTO";
constexpr const char* kWorkPlaceholder = "$WORK";

std::string keptFile(const std::string& folder, const std::string& name, const std::string& suffix) {
    return folder + "/" + name + suffix;
}

// The work folder is a new temporary folder each run; whatever names it is
// written as a placeholder.
std::string normalised(std::string text, const std::string& workDir) {
    for (size_t at = text.find(workDir); at != std::string::npos; at = text.find(workDir, at)) {
        text.replace(at, workDir.size(), kWorkPlaceholder);
        at += std::string(kWorkPlaceholder).size();
    }
    return text;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

// Replays the action's recording from folder in a fresh work folder (its
// images rebuilt there) and compares with what is kept beside it.
void expectReplayAsKept(const RecordedAction& action, const std::string& folder) {
    SimulatedBus bus;
    recordings::provideFiles(bus, action);
    const RunResult replayed = bus.replay(keptFile(folder, action.name, ".rec"), action.args);
    EXPECT_EQ(replayed.err, "");
    EXPECT_EQ(replayed.status, action.status);
    EXPECT_EQ(normalised(replayed.out, bus.workDir()), readFile(keptFile(folder, action.name, ".expected")));
    if (!action.writtenFile.empty()) {
        const std::string written = bus.workDir() + "/" + action.writtenFile;
        ASSERT_TRUE(std::filesystem::exists(written)) << action.writtenFile;
        EXPECT_EQ(normalised(readFile(written), bus.workDir()),
                  readFile(keptFile(folder, action.name, ".written.expected")));
    }
}

const RecordedAction& actionNamed(const std::string& name) {
    for (const RecordedAction& action : recordings::recordedActions())
        if (action.name == name) return action;
    throw std::invalid_argument("no recorded action " + name);
}

class KeptRecording : public ::testing::TestWithParam<RecordedAction> {};

TEST_P(KeptRecording, ReplaysAsRecorded) { expectReplayAsKept(GetParam(), VELTRION_RECORDINGS_DIR); }

// Test names allow letters, digits and '_' only.
std::string testName(const ::testing::TestParamInfo<RecordedAction>& action) {
    std::string name = action.param.name;
    for (char& c : name)
        if (c == '-') c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Actions, KeptRecording, ::testing::ValuesIn(recordings::recordedActions()), testName);

// One line on standard error, the "replay:" line, and the replay's failure.
void expectReplayLine(const RunResult& run, const std::string& says) {
    EXPECT_EQ(run.status, kReplayFailure);
    const auto lines = splitLines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_EQ(lines[0].rfind("replay: exchange ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(says), std::string::npos) << lines[0];
}

TEST(KeptRecordings, ARunThatSendsOtherRequestsOrFewerEndsWithTheReplayLine) {
    // The update recorded with the newer FPGA component, replayed with images
    // that make the tool work otherwise.
    const RecordedAction& update = actionNamed("update-fpga");
    const std::string recording = keptFile(VELTRION_RECORDINGS_DIR, update.name, ".rec");
    SimulatedBus bus;
    recordings::buildImages(bus, {"base", "boot"});
    // A newer boot loader as well: the boot loader is written where the
    // recording erases the FPGA's sectors.
    expectReplayLine(bus.replay(recording, {"-p", "0", "boot.img"}), "; the program sent usb control ");
    // The camera's own firmware: nothing to write, so the run ends early.
    expectReplayLine(bus.replay(recording, {"-p", "0", "base.img"}), "; the program sent nothing more");
}

// Run by scripts/renew-recordings only: records every action anew on the
// simulator into the folder VELTRION_RENEW_INTO names, then replays what it
// wrote.
TEST(RecordingRenewal, DISABLED_RecordsEveryActionAnew) {
    const char* folder = std::getenv(kRenewVariable);
    ASSERT_TRUE(folder && *folder) << kRenewVariable << " names no folder to renew";
    for (const RecordedAction& action : recordings::recordedActions()) {
        SCOPED_TRACE(action.name);
        {
            SimulatedBus bus;
            recordings::provideFiles(bus, action);
            action.prepare(bus);
            ASSERT_FALSE(::testing::Test::HasFatalFailure());
            const std::string recording = bus.workDir() + "/" + action.name + ".rec";
            std::vector<std::string> args = action.args;
            args.insert(args.end(), {"--record", recording});
            const RunResult recorded = bus.tool(args);
            ASSERT_EQ(recorded.status, action.status) << recorded.out << recorded.err;
            std::filesystem::copy_file(recording, keptFile(folder, action.name, ".rec"),
                                       std::filesystem::copy_options::overwrite_existing);
            writeFile(keptFile(folder, action.name, ".expected"), normalised(recorded.out, bus.workDir()));
            if (!action.writtenFile.empty())
                writeFile(keptFile(folder, action.name, ".written.expected"),
                          normalised(readFile(bus.workDir() + "/" + action.writtenFile), bus.workDir()));
        }
        expectReplayAsKept(action, folder);
    }
}

}  // namespace
