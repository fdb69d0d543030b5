#include "RecordingPorts.h"

namespace veltrion::recording {

namespace {

class RecordingVideoSource : public VideoSource {
public:
    RecordingVideoSource(std::shared_ptr<VideoSource> inner, uint32_t id, std::shared_ptr<Recorder> recorder)
        : inner_(std::move(inner)), id_(id), recorder_(std::move(recorder)) {}

    ~RecordingVideoSource() override {
        inner_.reset();
        record(RecordKind::VideoClose);
    }

    bool isGone() override {
        ExchangeRecord r = start(RecordKind::VideoGone);
        r.flag = inner_->isGone();
        const bool gone = r.flag;
        recorder_->append(std::move(r));
        return gone;
    }

    int findExtensionUnit(const UnitGuid& guid, uint8_t& unitId) override {
        ExchangeRecord r = start(RecordKind::VideoFindUnit);
        r.data.assign(guid.begin(), guid.end());
        r.result = inner_->findExtensionUnit(guid, unitId);
        r.unitId = unitId;
        return finish(std::move(r));
    }

    int queryExtensionUnit(uint8_t unitId, uint8_t selector, XuQuery query, uint8_t* data, uint16_t size) override {
        ExchangeRecord r = start(RecordKind::VideoXuQuery);
        r.unitId = unitId;
        r.selector = selector;
        r.query = static_cast<uint8_t>(query);
        r.length = size;
        const bool out = carriesDataOut(r);
        if (out && data) r.data.assign(data, data + size);
        r.result = inner_->queryExtensionUnit(unitId, selector, query, data, size);
        if (!out && data && r.result == 0) r.data.assign(data, data + size);
        return finish(std::move(r));
    }

    int queryControl(VideoControlId id, VideoControlRange& range) override {
        ExchangeRecord r = start(RecordKind::VideoQueryControl);
        r.controlId = static_cast<int32_t>(id);
        r.result = inner_->queryControl(id, range);
        r.range = range;
        return finish(std::move(r));
    }

    int getControl(VideoControlId id, int32_t& value) override {
        ExchangeRecord r = start(RecordKind::VideoGetControl);
        r.controlId = static_cast<int32_t>(id);
        r.result = inner_->getControl(id, value);
        r.controlValue = value;
        return finish(std::move(r));
    }

    int setControl(VideoControlId id, int32_t value) override {
        ExchangeRecord r = start(RecordKind::VideoSetControl);
        r.controlId = static_cast<int32_t>(id);
        r.controlValue = value;
        r.result = inner_->setControl(id, value);
        return finish(std::move(r));
    }

private:
    ExchangeRecord start(RecordKind kind) const {
        ExchangeRecord r;
        r.kind = kind;
        r.id = id_;
        return r;
    }
    void record(RecordKind kind) { recorder_->append(start(kind)); }
    int finish(ExchangeRecord r) {
        const int result = r.result;
        recorder_->append(std::move(r));
        return result;
    }

    std::shared_ptr<VideoSource> inner_;
    uint32_t id_;
    std::shared_ptr<Recorder> recorder_;
};

class RecordingVideoPort : public VideoPort {
public:
    RecordingVideoPort(std::unique_ptr<VideoPort> inner, std::shared_ptr<Recorder> recorder)
        : inner_(std::move(inner)), recorder_(std::move(recorder)) {}

    int listSources(std::vector<VideoSourceEntry>& sources) override {
        ExchangeRecord r;
        r.kind = RecordKind::VideoList;
        r.result = inner_->listSources(sources);
        r.videoSources = sources;
        const int result = r.result;
        recorder_->append(std::move(r));
        return result;
    }

    int openSource(const std::string& symbolicLink, std::shared_ptr<VideoSource>& source) override {
        ExchangeRecord r;
        r.kind = RecordKind::VideoOpen;
        r.path = symbolicLink;
        std::shared_ptr<VideoSource> opened;
        r.result = inner_->openSource(symbolicLink, opened);
        if (r.result == 0 && opened) {
            r.id = recorder_->newId();
            source = std::make_shared<RecordingVideoSource>(std::move(opened), r.id, recorder_);
        }
        const int result = r.result;
        recorder_->append(std::move(r));
        return result;
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
