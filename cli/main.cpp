// VemtoK4UtilsExe: one action per run on the cameras attached to this computer.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Dispatch.h"
#include "device/recording/Recorder.h"
#include "device/recording/ReplaySession.h"
#include "Preprocess.h"
#include "UpdateProgress.h"
#include "Usage.h"
#include "UtilsLogger.h"
#include "manager/Veltrion2CamMgr.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = -1;
constexpr const char* kDefaultProgramName = "VemtoK4UtilsExe";
constexpr const char* kVersionOption = "-v";
constexpr size_t kMinArgumentCount = 2;  // program name and action

using veltrion::cli::ActionResult;

// Builds the manager of the chosen channel and installs the tool's logger and
// progress reporting into it, then runs the action.
int runAction(veltrion::cli::Preprocessed& run) {
    auto& logger = veltrion::cli::toolLogger();
    veltrion::cli::UpdateProgress progress(&logger);  // outlives the manager that calls it
    std::unique_ptr<veltrion::Veltrion2CamMgr> mgr;
    try {
        mgr = std::make_unique<veltrion::Veltrion2CamMgr>(run.useVendorChannel);
    } catch (const std::runtime_error& error) {
        // No usable device object on the chosen channel: say so, never abort.
        std::string reason = error.what();
        if (reason.empty() || reason.back() != '\n') reason += '\n';
        logger.log(veltrion::kLogError, "%s", reason.c_str());
        return kExitFailure;
    }

    mgr->setLogger(&logger);
    mgr->setProgressCallback(&progress);
    if (mgr->device()) mgr->device()->setLogger(&logger);
    logger.setThreshold(veltrion::Logger::kDefaultThreshold);
    if (mgr->device()) mgr->device()->setLogLevel(veltrion::Logger::kDefaultThreshold);

    veltrion::cli::ActionContext context{*mgr, run.args, run.useVendorChannel, run.jobs};
    switch (veltrion::cli::dispatchAction(context)) {
        case ActionResult::Success:
            return kExitSuccess;
        case ActionResult::Failure:
            return kExitFailure;
        case ActionResult::Usage:
            break;
    }
    veltrion::cli::usage(run.args.front().c_str());
    return kExitFailure;
}

// Records the run into --record's file, else into VELTRION_RECORD's when set.
bool startRecording(const std::string& option) {
    std::string path = option;
    if (path.empty()) {
        const char* variable = std::getenv(veltrion::recording::kRecordVariable);
        if (!variable || !*variable) return true;
        path = variable;
    }
    std::string error;
    if (veltrion::recording::Recorder::start(path, error)) return true;
    std::printf("ERROR: Unable to record: %s\n", error.c_str());
    return false;
}

bool finishRecording() {
    std::string error;
    if (veltrion::recording::Recorder::finish(error)) return true;
    std::printf("ERROR: %s\n", error.c_str());
    return false;
}

// A replay must go as far as the recording: a run that asks for less than
// the recorded run did has changed its requests as surely as one that asks
// for something else.
void finishReplay() {
    if (!std::getenv(veltrion::recording::kReplayVariable)) return;
    if (auto* session = veltrion::recording::ReplaySession::active()) {
        const std::string line = session->unreplayed();
        if (!line.empty()) veltrion::recording::replayFatal(line);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // Line by line, so progress reaches a pipe or a log viewer as it happens.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 1 || argv[0] == nullptr) {
        veltrion::cli::usage(kDefaultProgramName);
        return kExitFailure;
    }

    veltrion::cli::Preprocessed run;
    if (veltrion::cli::preprocessArguments(std::vector<std::string>(argv, argv + argc), run) !=
        veltrion::cli::PreprocessResult::Ok) {
        return kExitFailure;
    }
    veltrion::cli::toolLogger().setLogFile(std::move(run.logFile), run.logPath);

    if (run.args.size() < kMinArgumentCount) {
        veltrion::cli::usage(run.args.front().c_str());
        return kExitFailure;
    }
    if (run.args[1] == kVersionOption) {
        std::printf("version: %s\n", veltrion::cli::kToolVersion);
        return kExitSuccess;
    }
    if (!startRecording(run.recordFile)) return kExitFailure;
    std::printf("Using channel: %s\n", run.useVendorChannel ? "Veltrion-C" : "UVC");
    const int result = runAction(run);
    finishReplay();
    return finishRecording() ? result : kExitFailure;
}
