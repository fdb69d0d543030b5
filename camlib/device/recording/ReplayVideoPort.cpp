#include "PortRequests.h"
#include "ReplayPorts.h"

namespace veltrion::recording {

namespace {

class ReplayVideoSource : public VideoSource {
public:
    ReplayVideoSource(ReplaySession& session, std::string stream) : session_(session), stream_(std::move(stream)) {}

    bool isGone() override { return take(exchangeOf(RecordKind::VideoGone)).flag; }

    int findExtensionUnit(const UnitGuid& guid, uint8_t& unitId) override {
        const ExchangeRecord& recorded = take(findUnitRequest(0, guid));
        unitId = recorded.unitId;
        return recorded.result;
    }

    int queryExtensionUnit(uint8_t unitId, uint8_t selector, XuQuery query, uint8_t* data, uint16_t size) override {
        const ExchangeRecord& recorded = take(xuQueryRequest(0, unitId, selector, query, data, size));
        giveDataIn(recorded, data, size);
        return recorded.result;
    }

    int queryControl(VideoControlId id, VideoControlRange& range) override {
        const ExchangeRecord& recorded = take(videoControlRequest(0, RecordKind::VideoQueryControl, id));
        range = recorded.range;
        return recorded.result;
    }

    int getControl(VideoControlId id, int32_t& value) override {
        const ExchangeRecord& recorded = take(videoControlRequest(0, RecordKind::VideoGetControl, id));
        value = recorded.controlValue;
        return recorded.result;
    }

    int setControl(VideoControlId id, int32_t value) override {
        ExchangeRecord sent = videoControlRequest(0, RecordKind::VideoSetControl, id);
        sent.controlValue = value;
        return take(sent).result;
    }

private:
    const ExchangeRecord& take(const ExchangeRecord& sent) { return session_.take(stream_, sent); }

    ReplaySession& session_;
    std::string stream_;
};

class ReplayVideoPort : public VideoPort {
public:
    explicit ReplayVideoPort(ReplaySession& session) : session_(session) {}

    int listSources(std::vector<VideoSourceEntry>& sources) override {
        const ExchangeRecord& recorded =
            session_.take(ReplaySession::kVideoListStream, exchangeOf(RecordKind::VideoList));
        sources = recorded.videoSources;
        return recorded.result;
    }

    int openSource(const std::string& symbolicLink, std::shared_ptr<VideoSource>& source) override {
        const std::string stream = ReplaySession::videoStream(symbolicLink);
        const ExchangeRecord& recorded = session_.take(stream, openRequest(RecordKind::VideoOpen, symbolicLink));
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
