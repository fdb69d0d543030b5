// The camera's video function: its extension unit carrying vendor requests,
// the run-time switches, standard controls, capture-source listing, and how
// an open source shares the camera's state with other processes.

#include <atomic>
#include <thread>

#include "Camera.h"
#include "CameraFolder.h"
#include "VideoFixture.h"
#include "device/uvc/VideoControlDescriptors.h"

namespace camsim::test {
namespace {

using veltrion::VideoControlId;

class VideoTest : public SimVideoTest {};

// The unit's descriptor and its controls agree, selector by selector.
TEST_F(VideoTest, DescriptorListsExactlyTheUnitsControls) {
    const auto descriptors = Camera::videoControlDescriptors();
    const auto unit = veltrion::findExtensionUnitDescriptor(descriptors, veltrion::kVeltrionExtensionUnitGuid);
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->unitId, kUnit);
    for (uint8_t selector : {1, 3, 5, 8, 9, 10, 11, 12, 13, 15, 16}) EXPECT_TRUE(unit->hasSelector(selector));
    EXPECT_FALSE(unit->hasSelector(2));

    bus->add("cam0");
    auto cam = source("cam0");
    uint8_t unitId = 0;
    ASSERT_EQ(cam->findExtensionUnit(veltrion::kVeltrionExtensionUnitGuid, unitId), 0);
    EXPECT_EQ(unitId, kUnit);
    for (uint8_t selector = 1; selector <= 20; ++selector) {
        std::vector<uint8_t> length(2);
        const int result = xu(*cam, selector, XuQuery::GetLen, length);
        ASSERT_EQ(result == 0, unit->hasSelector(selector)) << int(selector);
        if (result != 0) {
            EXPECT_EQ(result, -ENOENT);
            continue;
        }
        const uint16_t size = static_cast<uint16_t>(length[0] | length[1] << 8);
        EXPECT_EQ(size, xu::findControl(selector)->length);
        std::vector<uint8_t> wrong(size + 1u);
        EXPECT_EQ(xu(*cam, selector, XuQuery::GetCur, wrong), -ENOBUFS);
    }
    std::vector<uint8_t> byte(1);
    EXPECT_EQ(cam->queryExtensionUnit(kUnit + 1, xu::kReady, XuQuery::GetCur, byte.data(), 1), -ENOENT);
    EXPECT_EQ(xu(*cam, xu::kReady, XuQuery::SetCur, byte), -EIO);  // get-only
    EXPECT_EQ(xu(*cam, xu::kLed, XuQuery::GetCur, byte), -EIO);    // set-only
}

TEST_F(VideoTest, HeaderAndLatchedReplyGiveTheVendorRequestsBytes) {
    bus->add("cam0");
    auto handle = open("cam0");
    auto cam = source("cam0");
    std::vector<uint8_t> expected;
    ASSERT_EQ(in(*handle, vreq::kQuery, 0, vreq::kQueryVersions, expected, vreq::kVersionBlockSize),
              vreq::kVersionBlockSize);
    EXPECT_EQ(viaHeader(*cam, vreq::kQuery, 0, vreq::kQueryVersions, vreq::kVersionBlockSize), expected);
    ASSERT_EQ(in(*handle, vreq::kFlashRead, 0x0001, 0x0000, expected, 256), 256);
    EXPECT_EQ(viaHeader(*cam, vreq::kFlashRead, 0x0001, 0x0000, 256), expected);

    // The latch is consumed by its read; a failed request fails set and read.
    std::vector<uint8_t> reply(xu::kReplySize);
    EXPECT_EQ(xu(*cam, xu::kLatchedReply, XuQuery::GetCur, reply), -EIO);
    bus->fault("cam0", "fail-next", "c3:1");
    auto failing = header(vreq::kFlashRead, 0, 0, 16);
    EXPECT_EQ(xu(*cam, xu::kRequestHeader, XuQuery::SetCur, failing), -EIO);
    EXPECT_EQ(xu(*cam, xu::kLatchedReply, XuQuery::GetCur, reply), -EIO);
    // A reply cut short is not passed off as data.
    bus->fault("cam0", "short-reply", "c3:1");
    EXPECT_TRUE(viaHeader(*cam, vreq::kFlashRead, 0, 0, 16).empty());
    auto tooLong = header(vreq::kFlashRead, 0, 0, 257);
    EXPECT_EQ(xu(*cam, xu::kRequestHeader, XuQuery::SetCur, tooLong), -EIO);

    handle.reset();
    const auto stats = bus->stats("cam0");
    EXPECT_EQ(stats.at("transfers-0xc3"), 4u);  // vendor, unit, failed and short; not the refused one
    EXPECT_EQ(stats.at("xu-calls"), 10u);
}

TEST_F(VideoTest, DataControlProgramsFlashWithoutSpiMode) {
    // The host never sends the SPI-mode request on this channel: the firmware
    // hands the flash over for the unit's own requests.
    bus->add("cam0");
    auto cam = source("cam0");
    constexpr uint16_t kHigh = 0x0070;  // 0x700000
    std::vector<uint8_t> block = header(vreq::kFlashProgram, kHigh, 0x0100, 4);
    block.insert(block.end(), {0x12, 0x34, 0x56, 0x78});
    block.resize(xu::kHeaderWithDataSize, 0);
    auto erase = header(vreq::kFlashErase4K, kHigh, 0, 1);
    ASSERT_EQ(xu(*cam, xu::kRequestHeader, XuQuery::SetCur, erase), 0);
    ASSERT_EQ(xu(*cam, xu::kRequestWithData, XuQuery::SetCur, block), 0);
    EXPECT_EQ(bus->readFlash("cam0", 0x700100, 5), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78, 0xFF}));
    EXPECT_FALSE(bus->state("cam0").run.spiMode);
}

TEST_F(VideoTest, StatusLedPresetAndLoadedFlags) {
    bus->add("cam0");
    auto cam = source("cam0");
    EXPECT_EQ(getByte(*cam, xu::kFlashStatus), 0);
    bus->fault("cam0", "busy-stuck", "1");
    EXPECT_EQ(getByte(*cam, xu::kFlashStatus), 1);
    bus->fault("cam0", "refuse-c1", "1");
    EXPECT_EQ(getByte(*cam, xu::kFlashStatus), -EIO);
    EXPECT_EQ(getByte(*cam, xu::kFpgaLoaded), 1);
    EXPECT_EQ(getByte(*cam, xu::kSystemLoaded), 1);
    bus->set("cam0", "system-loaded", "0");
    EXPECT_EQ(getByte(*cam, xu::kSystemLoaded), 0);

    std::vector<uint8_t> led{7};
    ASSERT_EQ(xu(*cam, xu::kLed, XuQuery::SetCur, led), 0);
    EXPECT_TRUE(bus->state("cam0").run.led);
    std::vector<uint8_t> preset{0x09, 0x11};  // save image controls on button 9
    ASSERT_EQ(xu(*cam, xu::kPreset, XuQuery::SetCur, preset), 0);
    EXPECT_EQ(bus->state("cam0").run.lastPreset, 0x1109);
    preset = {0x0A, 0x00};  // no button 10
    EXPECT_EQ(xu(*cam, xu::kPreset, XuQuery::SetCur, preset), -EIO);

    // The switches: ready as set by the tool, framing and enhancement both ways.
    std::vector<uint8_t> on{1};
    ASSERT_EQ(xu(*cam, xu::kFraming, XuQuery::SetCur, on), 0);
    EXPECT_EQ(getByte(*cam, xu::kFraming), 1);
    EXPECT_EQ(getByte(*cam, xu::kEnhancement), 0);
    EXPECT_EQ(getByte(*cam, xu::kReady), 1);
    // Firmware without the switches: they stall, the ready flag still answers.
    bus->set("cam0", "runtime-switches", "0");
    EXPECT_EQ(getByte(*cam, xu::kFraming), -EIO);
    EXPECT_EQ(xu(*cam, xu::kEnhancement, XuQuery::SetCur, on), -EIO);
    EXPECT_EQ(getByte(*cam, xu::kReady), 1);
    bus->set("cam0", "xu-ready", "0");
    EXPECT_EQ(getByte(*cam, xu::kReady), 0);
}

TEST_F(VideoTest, ResetThroughHeaderEndsTheSource) {
    bus->add("cam0");
    auto cam = source("cam0");
    auto reset = header(vreq::kUsbReset, 0, 0, 1);
    ASSERT_EQ(xu(*cam, xu::kRequestHeader, XuQuery::SetCur, reset), 0);
    EXPECT_TRUE(cam->isGone());
    EXPECT_EQ(getByte(*cam, xu::kReady), -ENODEV);
    int32_t value = 0;
    EXPECT_EQ(cam->getControl(VideoControlId::Brightness, value), -ENODEV);
    EXPECT_EQ(bus->stats("cam0").at("resets"), 1u);
    auto again = source("cam0");
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->isGone());
}

TEST_F(VideoTest, StalledCallHoldsUpItsCamerasVideoCallsOnly) {
    bus->add("cam0");
    bus->add("cam1");
    auto slow = source("cam0");
    auto other = source("cam1");
    auto handle = open("cam0");
    constexpr int kStallMs = 500;
    bus->fault("cam0", "xu-stall-ms", std::to_string(kStallMs));
    // The stalled call switches framing on: seen once it has been answered.
    std::thread caller([&] {
        std::vector<uint8_t> on{1};
        EXPECT_EQ(xu(*slow, xu::kFraming, XuQuery::SetCur, on), 0);
    });
    // Wait until the call is in (it counts before it stalls).
    for (int wait = 0; wait < kStallMs && bus->stats("cam0").at("xu-calls") == 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(getByte(*other, xu::kReady), 1);
    std::vector<uint8_t> usbType;
    EXPECT_EQ(in(*handle, vreq::kQuery, 0, vreq::kQueryUsbType, usbType, 1), 1);
    EXPECT_FALSE(bus->state("cam0").video.framing);
    // The camera's next video call waits behind the stalled one.
    int32_t value = 0;
    EXPECT_EQ(slow->getControl(VideoControlId::Zoom, value), 0);
    EXPECT_TRUE(bus->state("cam0").video.framing);
    caller.join();
}

TEST_F(VideoTest, VanishingCameraStaysGoneUntilReplugged) {
    bus->add("cam0");
    auto cam = source("cam0");
    bus->fault("cam0", "xu-vanish-after", "2");
    EXPECT_EQ(getByte(*cam, xu::kReady), 1);
    EXPECT_EQ(getByte(*cam, xu::kReady), -ENODEV);
    EXPECT_TRUE(cam->isGone());
    std::vector<veltrion::VideoSourceEntry> sources;
    ASSERT_EQ(video().listSources(sources), 0);
    EXPECT_TRUE(sources.empty());
    std::shared_ptr<veltrion::VideoSource> none;
    EXPECT_EQ(video().openSource(link("cam0"), none), -ENODEV);
    bus->replug("cam0");
    auto back = source("cam0");
    ASSERT_TRUE(back);
    EXPECT_EQ(getByte(*back, xu::kReady), 1);
}

TEST_F(VideoTest, ControlsFitTheirRangesAndRespectAutomaticSwitches) {
    bus->add("cam0");
    auto cam = source("cam0");
    veltrion::VideoControlRange range;
    ASSERT_EQ(cam->queryControl(VideoControlId::Pan, range), 0);
    EXPECT_EQ(range.minimum, -180 * 3600);
    EXPECT_EQ(range.step, 3600);
    EXPECT_EQ(cam->queryControl(VideoControlId::ColorEnable, range), -EINVAL);
    EXPECT_EQ(cam->setControl(static_cast<VideoControlId>(99), 0), -EINVAL);
    int32_t value = 0;
    ASSERT_EQ(cam->getControl(VideoControlId::WhiteBalanceAuto, value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(cam->setControl(VideoControlId::WhiteBalance, 5000), -EBUSY);
    EXPECT_EQ(bus->stats("cam0").at("control-writes"), 0u);  // showing and refusing write nothing

    ASSERT_EQ(cam->setControl(VideoControlId::WhiteBalanceAuto, 0), 0);
    const std::vector<std::pair<VideoControlId, std::pair<int32_t, int32_t>>> fits = {
        {VideoControlId::WhiteBalance, {5004, 5000}}, {VideoControlId::WhiteBalance, {5006, 5010}},
        {VideoControlId::Brightness, {1000, 64}},    {VideoControlId::Pan, {-1'000'000, -648000}},
        {VideoControlId::Tilt, {5399, 3600}},        {VideoControlId::Zoom, {250, 250}},
    };
    for (const auto& [id, sample] : fits) {
        ASSERT_EQ(cam->setControl(id, sample.first), 0);
        ASSERT_EQ(cam->getControl(id, value), 0);
        EXPECT_EQ(value, sample.second) << sample.first;
    }
    ASSERT_EQ(cam->setControl(VideoControlId::HueAuto, 1), 0);
    EXPECT_EQ(cam->setControl(VideoControlId::Hue, 10), -EBUSY);
    EXPECT_EQ(bus->stats("cam0").at("control-writes"), 8u);

    // Values live in camera.json, for the next process.
    cam.reset();
    const CameraState stored = CameraFolder(dir / "cam0").load();
    EXPECT_EQ(stored.video.controls.at("zoom"), 250);
    EXPECT_EQ(stored.video.controls.at("white-balance-auto"), 0);
    cam = source("cam0");
    ASSERT_EQ(cam->getControl(VideoControlId::Brightness, value), 0);
    EXPECT_EQ(value, 64);
}

TEST_F(VideoTest, ListsRunningCamerasOfAnyVendor) {
    bus->add("cam0", AddOptions{0x0003, "A1B2C3D4E5F6", false, {}});
    bus->add("cam1", AddOptions{0x8003, "", false, 0x1234});
    bus->add("dead", AddOptions{0x0003, "", true, {}});
    bus->set("cam0", "friendly-name", "Room Camera");
    bus->set("cam1", "friendly-name", "Room Camera");
    bus->set("cam1", "serial-hidden", "1");
    std::vector<veltrion::VideoSourceEntry> sources{{"stale", "", "", true}};
    ASSERT_EQ(video().listSources(sources), 0);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].symbolicLink, "simv:cam0:vid_3a7c&pid_0003:A1B2C3D4E5F6");
    EXPECT_EQ(sources[0].friendlyName, "Room Camera");
    EXPECT_EQ(sources[0].serial, "A1B2C3D4E5F6");
    EXPECT_TRUE(sources[0].serialKnown);
    EXPECT_EQ(sources[1].symbolicLink, "simv:cam1:vid_1234&pid_8003:");
    EXPECT_FALSE(sources[1].serialKnown);
    std::shared_ptr<veltrion::VideoSource> opened;
    EXPECT_EQ(video().openSource(sources[1].symbolicLink, opened), 0);
    // The boot loader has no capture node; an identity that is not there opens nothing.
    for (const std::string& wrong : {link("dead"), std::string("simv:cam0:vid_3a7c&pid_0003:0123456789AB"),
                                    std::string("sim:cam0:vid_3a7c&pid_0003:A1B2C3D4E5F6")})
        EXPECT_EQ(video().openSource(wrong, opened), -ENODEV) << wrong;
}

// Another process's saves reach a camera with an open source between calls;
// what the source counted meanwhile is kept and saved when it closes.
// Another process is played by a camera object of its own for the same
// folder: what one changes, the other sees at its next call.
TEST_F(VideoTest, EveryProcessTalksToOneCamera) {
    bus->add("cam0");
    auto cam = source("cam0");
    Camera otherProcess(dir / "cam0");
    const BusView view = viewOf("cam0");
    uint64_t enumeration = 0;
    ASSERT_EQ(otherProcess.openVideoSource(view.vendorId, view.productId, view.serial, enumeration), 0);

    // The reply latch is the camera's: one process's header is answered to
    // whoever reads next.
    auto versions = header(vreq::kQuery, 0, vreq::kQueryVersions, vreq::kVersionBlockSize);
    ASSERT_EQ(xu(*cam, xu::kRequestHeader, XuQuery::SetCur, versions), 0);
    std::vector<uint8_t> reply(xu::kReplySize);
    ASSERT_EQ(otherProcess.extensionUnitQuery(enumeration, xu::kLatchedReply, XuQuery::GetCur, reply.data(),
                                              xu::kReplySize),
              0);
    EXPECT_EQ(xu(*cam, xu::kLatchedReply, XuQuery::GetCur, reply), -EIO);

    otherProcess.update([](CameraState& state) { state.video.framing = true; });
    EXPECT_EQ(getByte(*cam, xu::kFraming), 1);
    EXPECT_EQ(otherProcess.snapshot().counters.xuCalls, 4u);

    // A power cycle or a removal there ends the connections here.
    auto handle = open("cam0");
    otherProcess.powerCycle();
    EXPECT_TRUE(cam->isGone());
    EXPECT_EQ(getByte(*cam, xu::kReady), -ENODEV);
    std::vector<uint8_t> usbType;
    EXPECT_EQ(in(*handle, vreq::kQuery, 0, vreq::kQueryUsbType, usbType, 1), veltrion::kUsbErrorNoDevice);
    EXPECT_EQ(bus->stats("cam0").at("power-cycles"), 1u);
    cam = source("cam0");
    otherProcess.detach();
    EXPECT_TRUE(cam->isGone());
    EXPECT_EQ(getByte(*cam, xu::kReady), -ENODEV);
}

}  // namespace
}  // namespace camsim::test
