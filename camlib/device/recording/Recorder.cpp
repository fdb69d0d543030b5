#include "Recorder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

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

}  // namespace

Recorder::Recorder(std::string path) : path_(std::move(path)) {}

Recorder::~Recorder() { close(); }

bool Recorder::open(std::string& error) {
    RecordingHeader header;
    header.program = program_invocation_short_name ? program_invocation_short_name : "";
    header.startedUnix = static_cast<uint64_t>(std::time(nullptr));
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
            if (recorder->open(error))
                holder.recorder = std::move(recorder);
            else
                std::fprintf(stderr, "record: %s; this run is not recorded\n", error.c_str());
        }
    }
    return holder.recorder;
}

bool Recorder::finish(std::string& error) {
    auto& holder = activeRecording();
    const std::lock_guard guard(holder.mutex);
    if (!holder.recorder) return true;
    const bool written = holder.recorder->close();
    if (!written) error = "cannot write the recording " + holder.recorder->path_;
    holder.recorder.reset();
    return written;
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
    writer_.append(record);
    if (now - lastFlush_ >= kFlushInterval) {
        writer_.flush();
        lastFlush_ = now;
    }
}

}  // namespace veltrion::recording
