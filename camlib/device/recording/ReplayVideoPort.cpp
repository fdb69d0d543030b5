#include <algorithm>
#include <cstring>

#include "ReplayPorts.h"

namespace veltrion::recording {

namespace {

class ReplayVideoSource : public VideoSource {
public:
    ReplayVideoSource(ReplaySession& session, std::string stream) : session_(session), stream_(std::move(stream)) {}

    bool isGone() override { return take(request(RecordKind::VideoGone)).flag; }

    int findExtensionUnit(const UnitGuid& guid, uint8_t& unitId) override {
        ExchangeRecord sent = request(RecordKind::VideoFindUnit);
        sent.data.assign(guid.begin(), guid.end());
        const ExchangeRecord& recorded = take(sent);
        unitId = recorded.unitId;
        return recorded.result;
    }

    int queryExtensionUnit(uint8_t unitId, uint8_t selector, XuQuery query, uint8_t* data, uint16_t size) override {
        ExchangeRecord sent = request(RecordKind::VideoXuQuery);
        sent.unitId = unitId;
        sent.selector = selector;
        sent.query = static_cast<uint8_t>(query);
        sent.length = size;
        if (carriesDataOut(sent) && data) sent.data.assign(data, data + size);
        const ExchangeRecord& recorded = take(sent);
        if (!carriesDataOut(recorded) && data)
            std::memcpy(data, recorded.data.data(), std::min<size_t>(recorded.data.size(), size));
        return recorded.result;
    }

    int queryControl(VideoControlId id, VideoControlRange& range) override {
        ExchangeRecord sent = request(RecordKind::VideoQueryControl);
        sent.controlId = static_cast<int32_t>(id);
        const ExchangeRecord& recorded = take(sent);
        range = recorded.range;
        return recorded.result;
    }

    int getControl(VideoControlId id, int32_t& value) override {
        ExchangeRecord sent = request(RecordKind::VideoGetControl);
        sent.controlId = static_cast<int32_t>(id);
        const ExchangeRecord& recorded = take(sent);
        value = recorded.controlValue;
        return recorded.result;
    }

    int setControl(VideoControlId id, int32_t value) override {
        ExchangeRecord sent = request(RecordKind::VideoSetControl);
        sent.controlId = static_cast<int32_t>(id);
        sent.controlValue = value;
        return take(sent).result;
    }

private:
    static ExchangeRecord request(RecordKind kind) {
        ExchangeRecord sent;
        sent.kind = kind;
        return sent;
    }
    const ExchangeRecord& take(const ExchangeRecord& sent) { return session_.take(stream_, sent); }

    ReplaySession& session_;
    std::string stream_;
};

class ReplayVideoPort : public VideoPort {
public:
    explicit ReplayVideoPort(ReplaySession& session) : session_(session) {}

    int listSources(std::vector<VideoSourceEntry>& sources) override {
        ExchangeRecord sent;
        sent.kind = RecordKind::VideoList;
        const ExchangeRecord& recorded = session_.take(ReplaySession::kVideoListStream, sent);
        sources = recorded.videoSources;
        return recorded.result;
    }

    int openSource(const std::string& symbolicLink, std::shared_ptr<VideoSource>& source) override {
        ExchangeRecord sent;
        sent.kind = RecordKind::VideoOpen;
        sent.path = symbolicLink;
        const std::string stream = ReplaySession::videoStream(symbolicLink);
        const ExchangeRecord& recorded = session_.take(stream, sent);
        if (recorded.result == 0) source = std::make_shared<ReplayVideoSource>(session_, stream);
        return recorded.result;
    }

private:
    ReplaySession& session_;
};

}  // namespace

std::unique_ptr<VideoPort> replayVideoPort(ReplaySession& session) {
    return std::make_unique<ReplayVideoPort>(session);
}

}  // namespace veltrion::recording
