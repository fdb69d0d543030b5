#pragma once

// A recording used as the bus: the replay ports hand each request the program
// makes to the session, which matches it against the next recorded exchange
// of the same camera (or of the device list) and gives back the recorded
// answer. Cameras are matched each on their own, so that the work of several
// threads on several cameras replays in any interleaving.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "RecordingFile.h"
#include "base/WaitClock.h"

namespace veltrion::recording {

inline constexpr const char* kReplayVariable = "VELTRION_REPLAY";
// The exit status of a replay that cannot go on.
inline constexpr int kReplayExitStatus = 255;

// Writes the line to standard error, flushes every output stream and ends the
// process at once. The request that failed to match may come from any thread,
// deep in the library; there is no answer to give it, and going on would make
// a run that was never recorded.
[[noreturn]] void replayFatal(const std::string& line);

// Also the library's wait clock during a replay: a reading gives the time the
// recorded run read at the same point of the same camera's exchanges; where
// none was recorded, the time the calling thread has reached in the
// recording. Waits take no time.
class ReplaySession : public WaitClock::Source {
public:
    // The session of VELTRION_REPLAY, loaded on first use (a recording that
    // cannot be read ends the run through replayFatal). Null when not replaying.
    static ReplaySession* active();

    // False with a reason when the recording's exchanges do not hang together.
    bool load(Recording recording, std::string& error);

    // The recorded exchange that answers the request sent on stream; ends the
    // run when it differs or the stream has nothing more.
    const ExchangeRecord& take(const std::string& stream, const ExchangeRecord& sent);
    // Empty when the program asked for every exchange the recording holds
    // (closes and hot-plug deliveries aside); else the "replay:" line naming
    // the first it did not ask for: a run that stops short of the recorded
    // one sent other requests too.
    std::string unreplayed();
    // The next recorded batch of a hot-plug port, once the exchanges recorded
    // before it have been replayed. False when none is due.
    bool takeEvents(uint32_t recordedPortId, std::vector<HotplugEvent>& events);

    WaitClock::time_point now() override;
    void sleepFor(WaitClock::duration length) override;
    // The recorded start plus the reading now() gives: what the recorded run
    // computed at the same point.
    std::chrono::system_clock::time_point timeOfDay() override;

    // Stream names.
    static std::string usbStream(const std::string& path) { return "usb " + path; }
    static std::string videoStream(const std::string& link) { return "uvc " + link; }
    static constexpr const char* kUsbListStream = "usb";
    static constexpr const char* kVideoListStream = "uvc";
    static constexpr const char* kHotplugStream = "hotplug";

private:
    struct Stream {
        std::vector<size_t> records;  // indices into recording_.records, clock readings included
        size_t next = 0;
    };
    // What the calling thread has reached: its time on the recorded time
    // line (nanoseconds since the recording started) and its last stream.
    struct ThreadPlace {
        const ReplaySession* session = nullptr;
        Stream* stream = nullptr;
        uint64_t nanos = 0;
    };
    ThreadPlace& threadPlace();
    void reach(uint64_t nanos);
    size_t exchangeNumber(size_t index) const { return exchangeNumbers_[index]; }
    struct PendingEvents {
        std::vector<size_t> records;
        size_t next = 0;
    };

    std::mutex mutex_;
    Recording recording_;
    std::unordered_map<std::string, Stream> streams_;
    std::unordered_map<uint32_t, PendingEvents> events_;
    // For each record: how many answered exchanges precede it in the file,
    // and its number as an exchange (clock readings are none).
    std::vector<size_t> answeredBefore_;
    std::vector<size_t> exchangeNumbers_;
    size_t answered_ = 0;
    // The furthest time any thread has reached; a new thread starts there.
    uint64_t latestNanos_ = 0;
    WaitClock::time_point origin_ = std::chrono::steady_clock::now();
};

}  // namespace veltrion::recording
