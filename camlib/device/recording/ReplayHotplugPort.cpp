#include "PortRequests.h"
#include "ReplayPorts.h"

namespace veltrion::recording {

namespace {

class ReplayHotplugPort : public HotplugPort {
public:
    ReplayHotplugPort(ReplaySession& session, uint32_t recordedId, std::string sourceName)
        : session_(session), recordedId_(recordedId), sourceName_(std::move(sourceName)) {}

    // Asked on a timer: a recorded batch is due once the exchanges recorded
    // before it have been replayed.
    int eventDescriptor() const override { return -1; }
    void takeEvents(std::vector<HotplugEvent>& events) override { session_.takeEvents(recordedId_, events); }
    std::string sourceName() const override { return sourceName_; }

private:
    ReplaySession& session_;
    uint32_t recordedId_;
    std::string sourceName_;
};

}  // namespace

std::unique_ptr<HotplugPort> replayHotplugPort(ReplaySession& session, std::string& error) {
    const ExchangeRecord& recorded = session.take(ReplaySession::kHotplugStream, exchangeOf(RecordKind::HotplugOpen));
    if (recorded.result != 0) {
        error = recorded.text;
        return nullptr;
    }
    return std::make_unique<ReplayHotplugPort>(session, recorded.id, recorded.text);
}

}  // namespace veltrion::recording
