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

namespace veltrion::recording {

inline constexpr const char* kReplayVariable = "VELTRION_REPLAY";
// The exit status of a replay that cannot go on.
inline constexpr int kReplayExitStatus = 255;

// Writes the line to standard error, flushes every output stream and ends the
// process at once. The request that failed to match may come from any thread,
// deep in the library; there is no answer to give it, and going on would make
// a run that was never recorded.
[[noreturn]] void replayFatal(const std::string& line);

class ReplaySession {
public:
    // The session of VELTRION_REPLAY, loaded on first use (a recording that
    // cannot be read ends the run through replayFatal). Null when not replaying.
    static ReplaySession* active();

    // False with a reason when the recording's exchanges do not hang together.
    bool load(Recording recording, std::string& error);

    // The recorded exchange that answers the request sent on stream; ends the
    // run when it differs or the stream has nothing more.
    const ExchangeRecord& take(const std::string& stream, const ExchangeRecord& sent);
    // The next recorded batch of a hot-plug port, once the exchanges recorded
    // before it have been replayed. False when none is due.
    bool takeEvents(uint32_t recordedPortId, std::vector<HotplugEvent>& events);

    // Stream names.
    static std::string usbStream(const std::string& path) { return "usb " + path; }
    static std::string videoStream(const std::string& link) { return "uvc " + link; }
    static constexpr const char* kUsbListStream = "usb";
    static constexpr const char* kVideoListStream = "uvc";
    static constexpr const char* kHotplugStream = "hotplug";

private:
    struct Stream {
        std::vector<size_t> records;  // indices into recording_.records
        size_t next = 0;
    };
    struct PendingEvents {
        std::vector<size_t> records;
        size_t next = 0;
    };

    std::mutex mutex_;
    Recording recording_;
    std::unordered_map<std::string, Stream> streams_;
    std::unordered_map<uint32_t, PendingEvents> events_;
    // For each record: how many answered exchanges precede it in the file.
    std::vector<size_t> answeredBefore_;
    size_t answered_ = 0;
};

}  // namespace veltrion::recording
