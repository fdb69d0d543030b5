#include "PortRequests.h"
#include "RecordingPorts.h"

namespace veltrion::recording {

namespace {

class RecordingHotplugPort : public HotplugPort {
public:
    RecordingHotplugPort(std::unique_ptr<HotplugPort> inner, uint32_t id, std::shared_ptr<Recorder> recorder)
        : inner_(std::move(inner)), id_(id), recorder_(std::move(recorder)) {}

    int eventDescriptor() const override { return inner_->eventDescriptor(); }
    std::string sourceName() const override { return inner_->sourceName(); }

    // Only calls that delivered events are recorded: how often a program asks
    // depends on its timers, not on the devices.
    void takeEvents(std::vector<HotplugEvent>& events) override {
        const size_t before = events.size();
        inner_->takeEvents(events);
        if (events.size() == before) return;
        ExchangeRecord r = exchangeOf(RecordKind::HotplugEvents, id_);
        r.events.assign(events.begin() + static_cast<std::ptrdiff_t>(before), events.end());
        recorder_->append(std::move(r));
    }

private:
    std::unique_ptr<HotplugPort> inner_;
    uint32_t id_;
    std::shared_ptr<Recorder> recorder_;
};

}  // namespace

std::unique_ptr<HotplugPort> recordHotplugPort(std::unique_ptr<HotplugPort> inner, const std::string& error,
                                               std::shared_ptr<Recorder> recorder) {
    if (!recorder) return inner;
    ExchangeRecord r = exchangeOf(RecordKind::HotplugOpen, recorder->newId());
    r.result = inner ? 0 : -1;
    r.text = inner ? inner->sourceName() : error;
    r.flag = inner && inner->eventDescriptor() >= 0;
    const uint32_t id = r.id;
    recorder->append(std::move(r));
    if (!inner) return inner;
    return std::make_unique<RecordingHotplugPort>(std::move(inner), id, std::move(recorder));
}

}  // namespace veltrion::recording
