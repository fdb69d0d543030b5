// The replay's matching: each camera's exchanges in their own order, the
// recorded clock readings given back, hot-plug events when their turn comes,
// and the end of the run at the first request that differs.

#include <gtest/gtest.h>

#include "RecordingSamples.h"
#include "device/recording/ReplaySession.h"

namespace veltrion::recording {
namespace {

using namespace test;

const std::string kCam0 = "sim:cam0:vid_3a7c&pid_0003:A1B2C3D4E5F6";
const std::string kCam1 = "sim:cam1:vid_3a7c&pid_0003:B1B2C3D4E5F6";

ExchangeRecord sentIn(uint8_t request, uint16_t length) {
    ExchangeRecord sent = usbIn(0, request, std::vector<uint8_t>(length));
    sent.data.clear();
    return sent;
}

class Replay : public ::testing::Test {
protected:
    void load(std::vector<ExchangeRecord> records) {
        Recording recording;
        recording.records = std::move(records);
        std::string error;
        ASSERT_TRUE(session.load(std::move(recording), error)) << error;
    }
    ReplaySession session;
};

TEST_F(Replay, CamerasAreMatchedEachInItsOwnOrder) {
    load({usbOpen(kCam0, 1), usbOpen(kCam1, 2), usbIn(1, 0xDF, {1}), usbIn(2, 0xDF, {0}), usbIn(1, 0xC4, {0, 0})});
    // The second camera's work runs first this time.
    EXPECT_EQ(session.take(ReplaySession::usbStream(kCam1), usbOpen(kCam1, 0)).result, 0);
    EXPECT_EQ(session.take(ReplaySession::usbStream(kCam1), sentIn(0xDF, 1)).data, std::vector<uint8_t>{0});
    EXPECT_EQ(session.take(ReplaySession::usbStream(kCam0), usbOpen(kCam0, 0)).result, 0);
    EXPECT_EQ(session.take(ReplaySession::usbStream(kCam0), sentIn(0xDF, 1)).data, std::vector<uint8_t>{1});
    EXPECT_EQ(session.take(ReplaySession::usbStream(kCam0), sentIn(0xC4, 2)).result, 2);
}

TEST_F(Replay, TheClockGivesTheRecordedReadingsAndWaitsTakeNoTime) {
    load({usbOpen(kCam0, 1), usbIn(1, 0xC1, {1, 0}, 1000), clockReading(1, 1'200'000), clockReading(2, 2'500'000),
          usbIn(1, 0xC1, {0, 0}, 9000), clockReading(1, 9'300'000)});
    session.take(ReplaySession::usbStream(kCam0), usbOpen(kCam0, 0));
    session.take(ReplaySession::usbStream(kCam0), sentIn(0xC1, 2));
    const auto first = session.now();
    EXPECT_EQ(session.now() - first, std::chrono::nanoseconds(1'300'000));
    // Unrecorded readings and waits follow the recorded time line.
    EXPECT_EQ(session.now() - first, std::chrono::nanoseconds(1'300'000));
    session.sleepFor(std::chrono::milliseconds(5));
    EXPECT_EQ(session.now() - first, std::chrono::nanoseconds(6'300'000));
    session.take(ReplaySession::usbStream(kCam0), sentIn(0xC1, 2));
    EXPECT_EQ(session.now() - first, std::chrono::nanoseconds(8'100'000));
}

TEST_F(Replay, ReadingsTheProgramNoLongerTakesArePassedOver) {
    load({usbOpen(kCam0, 1), clockReading(1, 10), clockReading(2, 20), usbIn(1, 0xDF, {1})});
    session.take(ReplaySession::usbStream(kCam0), usbOpen(kCam0, 0));
    EXPECT_EQ(session.take(ReplaySession::usbStream(kCam0), sentIn(0xDF, 1)).result, 1);
}

TEST_F(Replay, HotplugEventsComeOnceTheExchangesBeforeThemAreReplayed) {
    ExchangeRecord port;
    port.kind = RecordKind::HotplugOpen;
    port.id = 7;
    port.text = "simulator";
    ExchangeRecord removal;
    removal.kind = RecordKind::HotplugEvents;
    removal.id = 7;
    removal.events = {{HotplugEvent::Kind::Removal, kCam0, ""}};
    load({port, usbOpen(kCam0, 1), removal, usbIn(1, 0xDF, {1})});
    EXPECT_EQ(session.take(ReplaySession::kHotplugStream, port).id, 7u);
    std::vector<HotplugEvent> events;
    EXPECT_FALSE(session.takeEvents(7, events));
    session.take(ReplaySession::usbStream(kCam0), usbOpen(kCam0, 0));
    ASSERT_TRUE(session.takeEvents(7, events));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].devicePath, kCam0);
    EXPECT_FALSE(session.takeEvents(7, events));
}

TEST_F(Replay, ExchangesOfAHandleNeverOpenedAreRefused) {
    Recording recording;
    recording.records = {usbIn(4, 0xDF, {1})};
    std::string error;
    EXPECT_FALSE(session.load(recording, error));
    EXPECT_EQ(error, "exchange 1 names #4, which was never opened");
    recording.records = {usbOpen(kCam0, 1), clockReading(5, 10)};
    EXPECT_FALSE(session.load(recording, error));
}

using ReplayDeathTest = Replay;

TEST_F(ReplayDeathTest, TheFirstDifferingRequestEndsTheRunWithOneLine) {
    load({usbOpen(kCam0, 1), usbIn(1, 0xDF, {1})});
    session.take(ReplaySession::usbStream(kCam0), usbOpen(kCam0, 0));
    EXPECT_EXIT(session.take(ReplaySession::usbStream(kCam0), sentIn(0xD7, 1)), ::testing::ExitedWithCode(255),
                "^replay: exchange 2: recorded usb control type df request df value 0x0000 index 0x0000 length 1; "
                "the program sent usb control type df request d7 value 0x0000 index 0x0000 length 1\n$");
    EXPECT_EXIT(session.take(ReplaySession::usbStream(kCam1), usbOpen(kCam1, 0)), ::testing::ExitedWithCode(255),
                "^replay: exchange 2: the recording holds nothing more for usb " + kCam1 +
                    "; the program sent usb open " + kCam1 + "\n$");
}

}  // namespace
}  // namespace veltrion::recording
