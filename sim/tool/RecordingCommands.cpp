#include "RecordingCommands.h"

#include <cstdio>

#include "ToolCommands.h"
#include "device/recording/RecordingFile.h"

namespace camsim {

namespace {

using namespace veltrion::recording;

constexpr const char* kRecordingUsage = "usage: veltrion-sim recording show FILE\n";

// One exchange a line: its number, when it ended, its channel and request,
// and its answer. Clock readings are no exchanges and are left out.
void show(const Recording& recording, std::ostream& out) {
    out << "recording by " << recording.header.program << ", format " << recording.header.version << "\n";
    size_t number = 0;
    for (const auto& record : recording.records) {
        if (record.kind == RecordKind::ClockReading) continue;
        char stamp[40];
        std::snprintf(stamp, sizeof stamp, "%6zu %10.3f ms  ", ++number, static_cast<double>(record.timeMicros) / 1000.0);
        out << stamp << describeRequest(record) << "  " << describeAnswer(record) << "\n";
    }
}

}  // namespace

int runRecordingCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2 || args[0] != "show") {
        err << kRecordingUsage;
        return kToolError;
    }
    Recording recording;
    std::string error;
    const bool complete = readRecording(args[1], recording, error);
    if (recording.records.empty() && !complete) {
        err << "veltrion-sim: " << args[1] << ": " << error << "\n";
        return kToolError;
    }
    show(recording, out);
    if (!complete) {
        // What could be read is listed; the fault is said and fails the run.
        err << "veltrion-sim: " << args[1] << ": " << error << "\n";
        return kToolError;
    }
    return kToolOk;
}

}  // namespace camsim
