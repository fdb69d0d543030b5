// The bus's hot-plug log and the port that reads it: which events each bus
// change writes, their due times, and that the port hands each out once when
// it is due, never replaying what happened before it started.

#include <thread>

#include "HotplugEvents.h"
#include "SimHotplugPort.h"
#include "VideoFixture.h"

namespace camsim::test {
namespace {

using Kind = veltrion::HotplugEvent::Kind;
constexpr uint32_t kReenumerationMs = 200;

class HotplugTest : public SimVideoTest {
protected:
    std::vector<BusEvent> logged() const {
        std::vector<BusEvent> events;
        const std::string log = bus->eventLog();
        size_t start = 0;
        for (size_t end = log.find('\n'); end != std::string::npos; end = log.find('\n', start)) {
            if (auto event = parseBusEvent(std::string_view(log).substr(start, end - start)))
                events.push_back(*event);
            start = end + 1;
        }
        return events;
    }
    // Takes events until `count` have come or a bounded wait ends.
    static std::vector<veltrion::HotplugEvent> take(SimHotplugPort& port, size_t count) {
        std::vector<veltrion::HotplugEvent> events;
        for (int round = 0; round < 300 && events.size() < count; ++round) {
            port.takeEvents(events);
            if (events.size() < count) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return events;
    }
    void slowReenumeration(const std::string& name, uint32_t ms = kReenumerationMs) {
        acquireCamera(dir / name)->update([ms](CameraState& state) { state.timing.reenumerationMs = ms; });
    }
};

TEST_F(HotplugTest, BusChangesLogRemovalsNowAndArrivalsWhenReenumerated) {
    bus->add("cam0");
    bus->add("dead", AddOptions{0x0003, "", true, {}});
    slowReenumeration("cam0");
    const std::string camLink = link("cam0");
    bus->replug("cam0");
    std::shared_ptr<veltrion::VideoSource> cam;
    EXPECT_EQ(video().openSource(camLink, cam), -ENODEV);  // still re-enumerating
    std::this_thread::sleep_for(std::chrono::milliseconds(kReenumerationMs));
    cam = source("cam0");
    ASSERT_TRUE(cam);
    auto reset = header(vreq::kUsbReset, 0, 0, 1);
    ASSERT_EQ(xu(*cam, xu::kRequestHeader, XuQuery::SetCur, reset), 0);
    bus->remove("cam0");  // while re-enumerating: removed once it has arrived

    const auto events = logged();
    ASSERT_EQ(events.size(), 7u);
    const std::vector<std::pair<Kind, std::string>> expected = {
        {Kind::Arrival, camLink},     {Kind::Arrival, "sim:dead:vid_04b4&pid_00f3:"},
        {Kind::Removal, camLink},     {Kind::Arrival, camLink},
        {Kind::Removal, camLink},     {Kind::Arrival, camLink},
        {Kind::Removal, camLink},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(events[i].event.kind, expected[i].first) << i;
        EXPECT_EQ(events[i].event.devicePath, expected[i].second) << i;
    }
    EXPECT_EQ(events[0].event.friendlyName, "cam0");
    // Replug: the arrival is due a re-enumeration after the removal.
    EXPECT_EQ(events[3].dueMs - events[2].dueMs, kReenumerationMs);
    EXPECT_EQ(events[5].dueMs - events[4].dueMs, kReenumerationMs);
    // Removed while arriving: the removal is due with the arrival.
    EXPECT_EQ(events[6].dueMs, events[5].dueMs);
    for (size_t i = 1; i < 7; ++i) EXPECT_LE(events[i - 1].dueMs, events[i].dueMs);
}

TEST_F(HotplugTest, PortHandsOutDueEventsOnceAndNoneFromBeforeItStarted) {
    bus->add("cam0");
    bus->add("cam1");
    slowReenumeration("cam0", 1000);
    bus->replug("cam0");  // removal now, arrival still to come
    SimHotplugPort monitor(dir);
    EXPECT_EQ(monitor.sourceName(), "simulator");
    std::vector<veltrion::HotplugEvent> events;
    monitor.takeEvents(events);
    EXPECT_TRUE(events.empty());

    bus->fault("cam1", "xu-vanish-after", "1");
    auto cam1 = source("cam1");
    EXPECT_EQ(getByte(*cam1, xu::kReady), -ENODEV);
    // cam1's removal comes now, before cam0's arrival logged earlier but due later.
    events = take(monitor, 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, Kind::Removal);
    EXPECT_EQ(events[0].devicePath.rfind("simv:cam1:", 0), 0u);
    events = take(monitor, 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, Kind::Arrival);
    EXPECT_EQ(events[0].devicePath, link("cam0"));
    events.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    monitor.takeEvents(events);
    EXPECT_TRUE(events.empty());  // the vanished camera does not come back by itself

    EXPECT_FALSE(parseBusEvent("12\tadd\t\tname"));
    EXPECT_FALSE(parseBusEvent("x\tadd\tsimv:a\t"));
    const auto round = parseBusEvent(formatBusEvent({7, {Kind::Removal, "simv:a:vid_3a7c&pid_0003:", "Room A"}}));
    ASSERT_TRUE(round);
    EXPECT_EQ(round->event.friendlyName, "Room A");
}

}  // namespace
}  // namespace camsim::test
