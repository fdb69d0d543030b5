#include "PortRequests.h"
#include "RecordingPorts.h"

namespace veltrion::recording {

namespace {

class RecordingVideoSource : public VideoSource {
public:
    RecordingVideoSource(std::shared_ptr<VideoSource> inner, uint32_t id, std::shared_ptr<Recorder> recorder)
        : inner_(std::move(inner)), id_(id), recorder_(std::move(recorder)) {}

    ~RecordingVideoSource() override {
        inner_.reset();
        recorder_->append(exchangeOf(RecordKind::VideoClose, id_));
    }

    bool isGone() override {
        ExchangeRecord r = exchangeOf(RecordKind::VideoGone, id_);
        r.flag = inner_->isGone();
        const bool gone = r.flag;
        recorder_->append(std::move(r));
        return gone;
    }

    int findExtensionUnit(const UnitGuid& guid, uint8_t& unitId) override {
        ExchangeRecord r = findUnitRequest(id_, guid);
        r.result = inner_->findExtensionUnit(guid, unitId);
        r.unitId = unitId;
        return recorder_->appendCall(std::move(r));
    }

    int queryExtensionUnit(uint8_t unitId, uint8_t selector, XuQuery query, uint8_t* data, uint16_t size) override {
        ExchangeRecord r = xuQueryRequest(id_, unitId, selector, query, data, size);
        r.result = inner_->queryExtensionUnit(unitId, selector, query, data, size);
        keepDataIn(r, data, r.result == 0 ? size : 0);
        return recorder_->appendCall(std::move(r));
    }

    int queryControl(VideoControlId id, VideoControlRange& range) override {
        ExchangeRecord r = videoControlRequest(id_, RecordKind::VideoQueryControl, id);
        r.result = inner_->queryControl(id, range);
        r.range = range;
        return recorder_->appendCall(std::move(r));
    }

    int getControl(VideoControlId id, int32_t& value) override {
        ExchangeRecord r = videoControlRequest(id_, RecordKind::VideoGetControl, id);
        r.result = inner_->getControl(id, value);
        r.controlValue = value;
        return recorder_->appendCall(std::move(r));
    }

    int setControl(VideoControlId id, int32_t value) override {
        ExchangeRecord r = videoControlRequest(id_, RecordKind::VideoSetControl, id);
        r.controlValue = value;
        r.result = inner_->setControl(id, value);
        return recorder_->appendCall(std::move(r));
    }

private:
    std::shared_ptr<VideoSource> inner_;
    uint32_t id_;
    std::shared_ptr<Recorder> recorder_;
};

class RecordingVideoPort : public VideoPort {
public:
    RecordingVideoPort(std::unique_ptr<VideoPort> inner, std::shared_ptr<Recorder> recorder)
        : inner_(std::move(inner)), recorder_(std::move(recorder)) {}

    int listSources(std::vector<VideoSourceEntry>& sources) override {
        ExchangeRecord r = exchangeOf(RecordKind::VideoList);
        r.result = inner_->listSources(sources);
        r.videoSources = sources;
        return recorder_->appendCall(std::move(r));
    }

    int openSource(const std::string& symbolicLink, std::shared_ptr<VideoSource>& source) override {
        ExchangeRecord r = openRequest(RecordKind::VideoOpen, symbolicLink);
        std::shared_ptr<VideoSource> opened;
        r.result = inner_->openSource(symbolicLink, opened);
        if (r.result == 0 && opened) {
            r.id = recorder_->newId();
            source = std::make_shared<RecordingVideoSource>(std::move(opened), r.id, recorder_);
        }
        return recorder_->appendCall(std::move(r));
    }

private:
    std::unique_ptr<VideoPort> inner_;
    std::shared_ptr<Recorder> recorder_;
};

}  // namespace

std::unique_ptr<VideoPort> recordVideoPort(std::unique_ptr<VideoPort> inner, std::shared_ptr<Recorder> recorder) {
    if (!inner || !recorder) return inner;
    return std::make_unique<RecordingVideoPort>(std::move(inner), std::move(recorder));
}

}  // namespace veltrion::recording
