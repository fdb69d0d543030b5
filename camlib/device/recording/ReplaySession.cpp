#include "ReplaySession.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "base/WaitClock.h"

namespace veltrion::recording {

namespace {

bool isClose(RecordKind kind) { return kind == RecordKind::UsbClose || kind == RecordKind::VideoClose; }

}  // namespace

void replayFatal(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(nullptr);
    std::_Exit(kReplayExitStatus);
}

ReplaySession* ReplaySession::active() {
    static std::once_flag once;
    static std::unique_ptr<ReplaySession> session;
    std::call_once(once, [] {
        const char* path = std::getenv(kReplayVariable);
        if (!path || !*path) return;
        Recording recording;
        std::string error;
        auto loaded = std::make_unique<ReplaySession>();
        if (!readRecording(path, recording, error) || !loaded->load(std::move(recording), error))
            replayFatal(std::string("replay: cannot use the recording ") + path + ": " + error);
        WaitClock::followRecording();
        session = std::move(loaded);
    });
    return session.get();
}

bool ReplaySession::load(Recording recording, std::string& error) {
    recording_ = std::move(recording);
    streams_.clear();
    events_.clear();
    answeredBefore_.assign(recording_.records.size(), 0);
    answered_ = 0;
    std::unordered_map<uint32_t, std::string> streamOfId;
    size_t answered = 0;
    for (size_t i = 0; i < recording_.records.size(); ++i) {
        const ExchangeRecord& r = recording_.records[i];
        answeredBefore_[i] = answered;
        std::string stream;
        switch (r.kind) {
            case RecordKind::UsbList: stream = kUsbListStream; break;
            case RecordKind::VideoList: stream = kVideoListStream; break;
            case RecordKind::HotplugOpen: stream = kHotplugStream; break;
            case RecordKind::UsbOpen:
            case RecordKind::VideoOpen:
                stream = r.kind == RecordKind::UsbOpen ? usbStream(r.path) : videoStream(r.path);
                if (r.result == 0) streamOfId[r.id] = stream;
                break;
            case RecordKind::HotplugEvents:
                events_[r.id].records.push_back(i);
                continue;
            default: {
                const auto owner = streamOfId.find(r.id);
                if (owner == streamOfId.end()) {
                    error = "exchange " + std::to_string(i + 1) + " names #" + std::to_string(r.id) +
                            ", which was never opened";
                    return false;
                }
                if (isClose(r.kind)) continue;  // closing gives no answer; nothing to match
                stream = owner->second;
            }
        }
        streams_[stream].records.push_back(i);
        ++answered;
    }
    return true;
}

const ExchangeRecord& ReplaySession::take(const std::string& stream, const ExchangeRecord& sent) {
    const std::lock_guard guard(mutex_);
    Stream& queue = streams_[stream];
    if (queue.next >= queue.records.size())
        replayFatal("replay: exchange " + std::to_string(answered_ + 1) + ": the recording holds nothing more for " +
                    stream + "; the program sent " + describeRequest(sent));
    const size_t index = queue.records[queue.next];
    const ExchangeRecord& recorded = recording_.records[index];
    if (!sameRequest(recorded, sent))
        replayFatal("replay: exchange " + std::to_string(index + 1) + ": recorded " + describeRequest(recorded) +
                    "; the program sent " + describeRequest(sent));
    ++queue.next;
    ++answered_;
    WaitClock::reachRecordedTime(std::chrono::microseconds(recorded.timeMicros));
    return recorded;
}

bool ReplaySession::takeEvents(uint32_t recordedPortId, std::vector<HotplugEvent>& events) {
    const std::lock_guard guard(mutex_);
    auto pending = events_.find(recordedPortId);
    if (pending == events_.end() || pending->second.next >= pending->second.records.size()) return false;
    const size_t index = pending->second.records[pending->second.next];
    if (answered_ < answeredBefore_[index]) return false;
    ++pending->second.next;
    const ExchangeRecord& recorded = recording_.records[index];
    events.insert(events.end(), recorded.events.begin(), recorded.events.end());
    WaitClock::reachRecordedTime(std::chrono::microseconds(recorded.timeMicros));
    return true;
}

}  // namespace veltrion::recording
