#include "ReplaySession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace veltrion::recording {

namespace {

bool isClose(RecordKind kind) { return kind == RecordKind::UsbClose || kind == RecordKind::VideoClose; }

uint64_t nanosOf(uint64_t micros) { return micros * 1000; }

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
        session = std::move(loaded);
        WaitClock::setSource(session.get());
    });
    return session.get();
}

bool ReplaySession::load(Recording recording, std::string& error) {
    recording_ = std::move(recording);
    streams_.clear();
    events_.clear();
    const size_t count = recording_.records.size();
    answeredBefore_.assign(count, 0);
    exchangeNumbers_.assign(count, 0);
    answered_ = 0;
    std::unordered_map<uint32_t, Stream*> streamOfId;
    std::vector<Stream*> streamOfRecord(count, nullptr);
    size_t answered = 0;
    size_t exchanges = 0;
    for (size_t i = 0; i < count; ++i) {
        const ExchangeRecord& r = recording_.records[i];
        answeredBefore_[i] = answered;
        if (r.kind != RecordKind::ClockReading) exchangeNumbers_[i] = ++exchanges;
        const auto damaged = [&](const std::string& what) {
            error = "exchange " + std::to_string(exchanges) + " " + what;
            return false;
        };
        Stream* stream = nullptr;
        switch (r.kind) {
            case RecordKind::UsbList: stream = &streams_[kUsbListStream]; break;
            case RecordKind::VideoList: stream = &streams_[kVideoListStream]; break;
            case RecordKind::HotplugOpen: stream = &streams_[kHotplugStream]; break;
            case RecordKind::UsbOpen:
            case RecordKind::VideoOpen:
                stream = &streams_[r.kind == RecordKind::UsbOpen ? usbStream(r.path) : videoStream(r.path)];
                if (r.result == 0) streamOfId[r.id] = stream;
                break;
            case RecordKind::HotplugEvents:
                events_[r.id].records.push_back(i);
                continue;
            case RecordKind::ClockReading: {
                if (r.previous == 0 || r.previous > i)
                    return damaged("is followed by a clock reading that names no exchange before it");
                // Readings after a hot-plug delivery belong to no camera.
                if (Stream* owner = streamOfRecord[i - r.previous]) owner->records.push_back(i);
                continue;
            }
            default: {
                const auto owner = streamOfId.find(r.id);
                if (owner == streamOfId.end()) return damaged("names #" + std::to_string(r.id) + ", which was never opened");
                streamOfRecord[i] = owner->second;
                if (isClose(r.kind)) continue;  // closing gives no answer; nothing to match
                stream = owner->second;
            }
        }
        streamOfRecord[i] = stream;
        stream->records.push_back(i);
        ++answered;
    }
    return true;
}

ReplaySession::ThreadPlace& ReplaySession::threadPlace() {
    thread_local ThreadPlace place;
    if (place.session != this) place = {this, nullptr, latestNanos_};
    return place;
}

void ReplaySession::reach(uint64_t nanos) {
    ThreadPlace& place = threadPlace();
    place.nanos = std::max(place.nanos, nanos);
    latestNanos_ = std::max(latestNanos_, place.nanos);
}

const ExchangeRecord& ReplaySession::take(const std::string& stream, const ExchangeRecord& sent) {
    const std::lock_guard guard(mutex_);
    Stream& queue = streams_[stream];
    // Readings the program did not take (its code between two requests
    // changed) are passed over: only requests must match.
    while (queue.next < queue.records.size() &&
           recording_.records[queue.records[queue.next]].kind == RecordKind::ClockReading)
        ++queue.next;
    if (queue.next >= queue.records.size())
        replayFatal("replay: exchange " + std::to_string(answered_ + 1) + ": the recording holds nothing more for " +
                    stream + "; the program sent " + describeRequest(sent));
    const size_t index = queue.records[queue.next];
    const ExchangeRecord& recorded = recording_.records[index];
    if (!sameRequest(recorded, sent))
        replayFatal("replay: exchange " + std::to_string(exchangeNumber(index)) + ": recorded " +
                    describeRequest(recorded) + "; the program sent " + describeRequest(sent));
    ++queue.next;
    ++answered_;
    threadPlace().stream = &queue;
    reach(nanosOf(recorded.timeMicros));
    return recorded;
}

std::string ReplaySession::unreplayed() {
    const std::lock_guard guard(mutex_);
    const ExchangeRecord* first = nullptr;
    size_t firstIndex = 0;
    for (const auto& [name, queue] : streams_) {
        for (size_t at = queue.next; at < queue.records.size(); ++at) {
            const size_t index = queue.records[at];
            if (recording_.records[index].kind == RecordKind::ClockReading) continue;
            if (!first || index < firstIndex) {
                first = &recording_.records[index];
                firstIndex = index;
            }
            break;
        }
    }
    if (!first) return "";
    return "replay: exchange " + std::to_string(exchangeNumber(firstIndex)) + ": recorded " + describeRequest(*first) +
           "; the program sent nothing more";
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
    reach(nanosOf(recorded.timeMicros));
    return true;
}

WaitClock::time_point ReplaySession::now() {
    const std::lock_guard guard(mutex_);
    ThreadPlace& place = threadPlace();
    if (Stream* stream = place.stream; stream && stream->next < stream->records.size()) {
        const ExchangeRecord& next = recording_.records[stream->records[stream->next]];
        if (next.kind == RecordKind::ClockReading) {
            ++stream->next;
            place.nanos = next.clockNanos;
            latestNanos_ = std::max(latestNanos_, place.nanos);
        }
    }
    return origin_ + std::chrono::nanoseconds(place.nanos);
}

std::chrono::system_clock::time_point ReplaySession::timeOfDay() {
    const auto reading = now();
    return startedAt(recording_.header.startedUnix) +
           std::chrono::duration_cast<std::chrono::system_clock::duration>(reading - origin_);
}

void ReplaySession::sleepFor(WaitClock::duration length) {
    {
        const std::lock_guard guard(mutex_);
        if (length > WaitClock::duration::zero())
            reach(threadPlace().nanos +
                  static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(length).count()));
    }
    // Lets the thread the waiting loop waits for run.
    std::this_thread::yield();
}

}  // namespace veltrion::recording
