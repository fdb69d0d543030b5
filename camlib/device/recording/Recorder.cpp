#include "Recorder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "base/WaitClock.h"

namespace veltrion::recording {

namespace {

using Clock = std::chrono::steady_clock;

// Buffered exchanges reach the file at least this often, so that a program
// that dies leaves all but its last moments readable.
constexpr auto kFlushInterval = std::chrono::seconds(1);

struct ActiveRecording {
    std::mutex mutex;
    std::shared_ptr<Recorder> recorder;
    bool environmentSeen = false;
};

ActiveRecording& activeRecording() {
    static ActiveRecording holder;
    return holder;
}

std::shared_ptr<Recorder> runningRecorder() {
    auto& holder = activeRecording();
    const std::lock_guard guard(holder.mutex);
    return holder.recorder;
}

// The calling thread's last exchange: its record number plus one, in which recorder.
struct ThreadExchange {
    const Recorder* recorder = nullptr;
    uint64_t number = 0;
};
thread_local ThreadExchange lastExchange;

// While a recording runs, the library's wait clock is the steady clock and
// each reading is noted.
class RecordingClock : public WaitClock::Source {
public:
    WaitClock::time_point now() override {
        const auto reading = std::chrono::steady_clock::now();
        if (auto recorder = runningRecorder()) recorder->noteClockReading(reading);
        return reading;
    }
    void sleepFor(WaitClock::duration length) override { std::this_thread::sleep_for(length); }
    // Counted from the start the header keeps, with a noted reading, so that
    // a replay computes the same time of day from the same reading.
    std::chrono::system_clock::time_point timeOfDay() override {
        const auto reading = now();
        if (auto recorder = runningRecorder()) return recorder->timeOfDayAt(reading);
        return std::chrono::system_clock::now();
    }
};

RecordingClock recordingClock;

}  // namespace

Recorder::Recorder(std::string path) : path_(std::move(path)) {}

Recorder::~Recorder() { close(); }

bool Recorder::open(std::string& error) {
    RecordingHeader header;
    header.program = program_invocation_short_name ? program_invocation_short_name : "";
    header.startedUnix = static_cast<uint64_t>(std::time(nullptr));
    startedUnix_ = header.startedUnix;
    start_ = lastFlush_ = Clock::now();
    return writer_.open(path_, header, error);
}

bool Recorder::close() {
    const std::lock_guard guard(mutex_);
    return writer_.close();
}

bool Recorder::start(const std::string& path, std::string& error) {
    auto& holder = activeRecording();
    const std::lock_guard guard(holder.mutex);
    holder.environmentSeen = true;
    if (holder.recorder) return true;
    auto recorder = std::make_shared<Recorder>(path);
    if (!recorder->open(error)) return false;
    holder.recorder = std::move(recorder);
    WaitClock::setSource(&recordingClock);
    return true;
}

std::shared_ptr<Recorder> Recorder::active() {
    auto& holder = activeRecording();
    const std::lock_guard guard(holder.mutex);
    if (!holder.environmentSeen) {
        holder.environmentSeen = true;
        const char* path = std::getenv(kRecordVariable);
        if (path && *path) {
            auto recorder = std::make_shared<Recorder>(path);
            std::string error;
            if (recorder->open(error)) {
                holder.recorder = std::move(recorder);
                WaitClock::setSource(&recordingClock);
            } else
                std::fprintf(stderr, "record: %s; this run is not recorded\n", error.c_str());
        }
    }
    return holder.recorder;
}

bool Recorder::finish(std::string& error) {
    auto& holder = activeRecording();
    const std::lock_guard guard(holder.mutex);
    if (!holder.recorder) return true;
    WaitClock::setSource(nullptr);
    const bool written = holder.recorder->close();
    if (!written) error = "cannot write the recording " + holder.recorder->path_;
    holder.recorder.reset();
    return written;
}

std::chrono::system_clock::time_point Recorder::timeOfDayAt(std::chrono::steady_clock::time_point reading) const {
    return startedAt(startedUnix_) + std::chrono::duration_cast<std::chrono::system_clock::duration>(reading - start_);
}

uint32_t Recorder::newId() {
    const std::lock_guard guard(mutex_);
    return nextId_++;
}

void Recorder::append(ExchangeRecord record) {
    const std::lock_guard guard(mutex_);
    if (!writer_.isOpen()) return;
    const auto now = Clock::now();
    record.timeMicros =
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(now - start_).count());
    if (record.kind != RecordKind::ClockReading) lastExchange = {this, written_ + 1};
    writer_.append(record);
    ++written_;
    if (now - lastFlush_ >= kFlushInterval) {
        writer_.flush();
        lastFlush_ = now;
    }
}

void Recorder::noteClockReading(std::chrono::steady_clock::time_point reading) {
    if (lastExchange.recorder != this) return;
    ExchangeRecord record;
    record.kind = RecordKind::ClockReading;
    const std::lock_guard guard(mutex_);
    if (!writer_.isOpen() || lastExchange.recorder != this) return;
    record.previous = static_cast<uint32_t>(written_ + 1 - lastExchange.number);
    record.clockNanos = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(reading - start_).count());
    record.timeMicros =
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count());
    writer_.append(record);
    ++written_;
}

}  // namespace veltrion::recording
