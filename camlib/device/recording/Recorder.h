#pragma once

// The recording of one process: every recording port of the process writes
// its exchanges into it, in the order they end.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "RecordingFile.h"

namespace veltrion::recording {

// The environment variable that asks a program to record its exchanges.
inline constexpr const char* kRecordVariable = "VELTRION_RECORD";

class Recorder {
public:
    // Starts recording into path (replacing the file). False with a one-line
    // reason when the file cannot be created; a recording already running goes on.
    static bool start(const std::string& path, std::string& error);
    // The running recording; one is started for VELTRION_RECORD on first use
    // (a failure is logged on standard error once, and the run goes unrecorded).
    // Null when the process does not record.
    static std::shared_ptr<Recorder> active();
    // Ends the running recording (writes its end mark); the ports still
    // holding it record nothing more. False when a write failed.
    static bool finish(std::string& error);

    explicit Recorder(std::string path);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // A new number for an opened handle, capture source or hot-plug port.
    uint32_t newId();
    // Stamps the record with the time since the recording started and writes it.
    void append(ExchangeRecord record);
    // Appends the record of a port call and gives back its result, which the
    // port returns.
    int appendCall(ExchangeRecord record) {
        const int result = record.result;
        append(std::move(record));
        return result;
    }
    // Notes a reading of the library's wait clock after the calling thread's
    // last exchange (nothing before its first).
    void noteClockReading(std::chrono::steady_clock::time_point reading);
    // The time of day at a reading of the wait clock: the header's start
    // plus the time since the recording started.
    std::chrono::system_clock::time_point timeOfDayAt(std::chrono::steady_clock::time_point reading) const;

private:
    bool open(std::string& error);
    bool close();

    std::string path_;
    std::mutex mutex_;
    RecordingWriter writer_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastFlush_;
    uint64_t startedUnix_ = 0;
    uint32_t nextId_ = 1;
    uint64_t written_ = 0;  // records so far
};

}  // namespace veltrion::recording
