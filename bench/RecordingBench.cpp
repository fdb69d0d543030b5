// What recording costs and what a recording gives back, on forced updates of
// one simulated camera under the realistic timing model, run by the built
// console tool: (a) the update with and without --record, side by side, and
// the recording's overhead; (b) the replay of that recording against the
// update itself; (c) the recording's size against the data the update moved.
// Plain and recorded runs alternate, so that a machine getting busier weighs
// on both alike. The same pair under zero timing shows what recording costs
// the processor, which the realistic figures hide in the flash's own waits.
// Usage: bench_recording [repetitions] [fpga-bytes]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "Bus.h"
#include "device/recording/RecordingFile.h"

namespace {

using veltrion::recording::RecordKind;

constexpr int kZeroTimingRuns = 5;
constexpr int kReplayRuns = 3;

// Runs the console tool with the environment assignments before it; the wall
// time in seconds, negative when the tool failed.
double runTool(const std::string& environment, const std::string& arguments) {
    const std::string command =
        environment + " " + std::string(VELTRION_BIN_DIR) + "/VemtoK4UtilsExe " + arguments + " > /dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) {
        std::printf("  (%s exited with %d)\n", arguments.c_str(), status);
        return -1;
    }
    return seconds;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The payload the exchanges carried, both ways: vendor transfers' data and
// extension-unit queries' data.
struct Moved {
    uint64_t bytes = 0;
    uint64_t exchanges = 0;
};

// Median wall times of plain and recorded runs of the arguments, alternating;
// false when a run failed.
bool timePair(const std::string& arguments, const std::string& recordingPath, int runs, bool printRuns, double& plain,
              double& recorded) {
    std::vector<double> plainTimes, recordedTimes;
    for (int i = 0; i < runs; ++i) {
        const bool plainFirst = i % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            const bool record = (turn == 0) != plainFirst;
            const double seconds = runTool("", record ? arguments + " --record " + recordingPath : arguments);
            if (seconds < 0) return false;
            (record ? recordedTimes : plainTimes).push_back(seconds);
        }
        if (printRuns)
            std::printf("run %d: plain %.2f s, recorded %.2f s\n", i + 1, plainTimes.back(), recordedTimes.back());
    }
    plain = median(plainTimes);
    recorded = median(recordedTimes);
    return true;
}

Moved movedBy(const veltrion::recording::Recording& recording) {
    Moved moved;
    for (const auto& record : recording.records) {
        if (record.kind == RecordKind::ClockReading) continue;
        ++moved.exchanges;
        if (record.kind == RecordKind::UsbControl || record.kind == RecordKind::VideoXuQuery)
            moved.bytes += record.data.size();
    }
    return moved;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 2;
    const std::string fpgaSize = argc > 2 ? argv[2] : "1048576";
    char pattern[] = "/tmp/bench-recording-XXXXXX";
    if (!::mkdtemp(pattern) || repetitions < 1) return 1;
    const std::filesystem::path dir = pattern;
    const std::filesystem::path busDir = dir / "bus";
    const std::string recordingPath = (dir / "update.rec").string();
    ::setenv("VELTRION_SIM", busDir.c_str(), 1);
    ::unsetenv("VELTRION_RECORD");
    ::unsetenv("VELTRION_REPLAY");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each run's line as it ends
    int status = 0;
    {
        camsim::Bus bus(busDir);
        bus.add("cam0");
        const std::string image = buildNewerImage(dir, {"--group", "V3G", "--fpga-size", fpgaSize});
        const std::string update = "-p 0 -f " + image;

        double zeroPlain = 0, zeroRecorded = 0;
        if (!timePair(update, recordingPath, kZeroTimingRuns, false, zeroPlain, zeroRecorded)) status = 1;
        bus.set("cam0", "timing", "realistic");
        double plainTime = 0, recordedTime = 0;
        if (status == 0 && !timePair(update, recordingPath, repetitions, true, plainTime, recordedTime)) status = 1;
        if (status != 0) {
            std::printf("an update failed; no figures\n");
        } else {
            std::printf("forced update, FPGA component of %s bytes:\n", fpgaSize.c_str());
            std::printf("  realistic timing (median of %d): plain %.2f s, recorded %.2f s: recording overhead %+.1f %%\n",
                        repetitions, plainTime, recordedTime, 100.0 * (recordedTime - plainTime) / plainTime);
            std::printf("  zero timing (median of %d): plain %.3f s, recorded %.3f s: recording costs %.0f ms\n",
                        kZeroTimingRuns, zeroPlain, zeroRecorded, 1000.0 * (zeroRecorded - zeroPlain));

            // The replay needs no camera: the recording is the bus.
            std::vector<double> replays;
            for (int i = 0; i < kReplayRuns && status == 0; ++i) {
                const double seconds = runTool("VELTRION_SIM= VELTRION_REPLAY=" + recordingPath, update);
                if (seconds < 0) status = 1;
                replays.push_back(seconds);
            }
            if (status == 0) {
                const double replayTime = median(replays);
                std::printf("  replay of the recording %.3f s: %.0f times faster than the update\n", replayTime,
                            plainTime / replayTime);
            }

            veltrion::recording::Recording recording;
            std::string error;
            if (!veltrion::recording::readRecording(recordingPath, recording, error)) {
                std::printf("  cannot read the recording: %s\n", error.c_str());
                status = 1;
            } else {
                const Moved moved = movedBy(recording);
                const auto fileSize = std::filesystem::file_size(recordingPath);
                std::printf("  recording %llu bytes for %llu bytes moved in %llu exchanges: %.3f of the data\n",
                            static_cast<unsigned long long>(fileSize), static_cast<unsigned long long>(moved.bytes),
                            static_cast<unsigned long long>(moved.exchanges), double(fileSize) / double(moved.bytes));
            }
        }
    }
    std::error_code error;
    std::filesystem::remove_all(dir, error);
    return status;
}
