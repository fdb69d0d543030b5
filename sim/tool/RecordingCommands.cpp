#include "RecordingCommands.h"

#include <cstdio>

#include "RecordingMask.h"
#include "ToolCommands.h"
#include "UsbmonCapture.h"
#include "device/recording/RecordingFile.h"

namespace camsim {

namespace {

using namespace veltrion::recording;

constexpr const char* kRecordingUsage =
    "usage: veltrion-sim recording show FILE\n"
    "       veltrion-sim recording pcap FILE OUT\n"
    "       veltrion-sim recording mask FILE OUT\n";

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

int fail(std::ostream& err, const std::string& file, const std::string& error) {
    err << "veltrion-sim: " << file << ": " << error << "\n";
    return kToolError;
}

int runShow(const std::string& file, std::ostream& out, std::ostream& err) {
    Recording recording;
    std::string error;
    const bool complete = readRecording(file, recording, error);
    if (recording.records.empty() && !complete) return fail(err, file, error);
    show(recording, out);
    // What could be read is listed; the fault is said and fails the run.
    return complete ? kToolOk : fail(err, file, error);
}

// A damaged or unfinished recording is not converted: a capture or a masked
// copy of part of a run would pass for the whole of it.
int runPcap(const std::string& file, const std::string& target, std::ostream& out, std::ostream& err) {
    Recording recording;
    std::string error;
    if (!readRecording(file, recording, error)) return fail(err, file, error);
    size_t packets = 0;
    if (!writeUsbmonCapture(recording, target, packets, error)) return fail(err, target, error);
    out << target << ": " << packets / 2 << " control transfers, " << packets << " packets\n";
    return kToolOk;
}

int runMask(const std::string& file, const std::string& target, std::ostream& out, std::ostream& err) {
    Recording recording;
    std::string error;
    if (!readRecording(file, recording, error)) return fail(err, file, error);
    const MaskSummary summary = maskRecording(recording);
    if (!writeRecording(target, recording, error)) return fail(err, target, error);
    out << target << ": " << summary.serials << " serial numbers replaced\n";
    return kToolOk;
}

}  // namespace

int runRecordingCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 2 && args[0] == "show") return runShow(args[1], out, err);
    if (args.size() == 3 && args[0] == "pcap") return runPcap(args[1], args[2], out, err);
    if (args.size() == 3 && args[0] == "mask") return runMask(args[1], args[2], out, err);
    err << kRecordingUsage;
    return kToolError;
}

}  // namespace camsim
