// The real video port against simulated cameras on the bridged bus: capture
// sources (metadata nodes, boot loaders, other makers), the extension unit
// carrying vendor requests both ways, its refusals, standard controls, and a
// camera that resets under an open source.

#include <algorithm>
#include <cerrno>
#include <future>

#include "BridgeFixture.h"
#include "base/ByteLayout.h"
#include "device/uvc/ExtensionUnitControls.h"
#include "device/usb/LibusbPort.h"
#include "device/uvc/V4l2VideoPort.h"

namespace veltrion::realports::test {
namespace {

constexpr uint16_t kOtherMakerVendorId = 0x1234;
constexpr uint16_t kOtherMakerProductId = 0x5678;
constexpr uint8_t kExpectedUnitId = 3;
constexpr uint8_t kSelectorNotInUnit = 2;
constexpr uint32_t kScratchAddress = 0x300000;  // outside every firmware component
constexpr uint16_t kSpiModeIndexV3 = 1;
constexpr uint16_t kPageSize = 256;

// The 7-byte request header: request, value, index, length (little-endian).
std::vector<uint8_t> header(uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    out.u8(request);
    out.le16(value);
    out.le16(index);
    out.le16(length);
    return bytes;
}

class V4l2VideoPortOverBridge : public BridgedBusTest {
protected:
    std::shared_ptr<VideoSource> openCamera(const std::string& name) {
        std::shared_ptr<VideoSource> source;
        EXPECT_EQ(video.openSource(device(name).videoLink, source), 0) << name;
        return source;
    }
    // Runs a vendor request through the header control; the reply, when it
    // has one, comes from the latched-reply control.
    static int headerRequest(VideoSource& source, std::vector<uint8_t> bytes) {
        return source.queryExtensionUnit(kExpectedUnitId, xu::kGeneric7BXfer, XuQuery::SetCur, bytes.data(),
                                         static_cast<uint16_t>(bytes.size()));
    }
    static std::vector<uint8_t> latchedReply(VideoSource& source) {
        std::vector<uint8_t> reply(xu::kReplySize, 0xEE);
        EXPECT_EQ(source.queryExtensionUnit(kExpectedUnitId, xu::kGeneric256BXfer, XuQuery::GetCur, reply.data(),
                                            xu::kReplySize),
                  0);
        return reply;
    }
    static int length(VideoSource& source, uint8_t selector) {
        uint8_t bytes[2] = {};
        const int result = source.queryExtensionUnit(kExpectedUnitId, selector, XuQuery::GetLen, bytes, sizeof bytes);
        return result < 0 ? result : *ByteReader(bytes).le16(0);
    }

    V4l2VideoPort video;
};

TEST_F(V4l2VideoPortOverBridge, ListsEachRunningCameraOnceByItsUsbDevice) {
    bus->add("cam0", kV3VideoAudio, kSerial0, false);
    bus->add("cam1", kV2sVideoAudio, kSerial1, false);
    bus->add("cam2", kV3VideoAudio, "FEDCBA987654", true);  // the boot loader has no video function
    bus->add("cam3", camsim::AddOptions{kOtherMakerProductId, "00AA11BB22CC", false, kOtherMakerVendorId});
    startBridge();

    std::vector<VideoSourceEntry> sources;
    ASSERT_EQ(video.listSources(sources), 0);
    ASSERT_EQ(sources.size(), 3u) << "one capture node per camera; metadata nodes and the boot loader left out";
    EXPECT_EQ(sources[0].symbolicLink, "v4l:1-1:vid_3a7c&pid_0003:" + kSerial0);
    EXPECT_EQ(sources[1].symbolicLink, "v4l:1-2:vid_3a7c&pid_c002:" + kSerial1);
    EXPECT_EQ(sources[2].symbolicLink, "v4l:1-4:vid_1234&pid_5678:00AA11BB22CC");
    const std::vector<std::string> names{"cam0", "cam1", "cam3"};
    for (size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(sources[i].symbolicLink, device(names[i]).videoLink);
        EXPECT_EQ(sources[i].friendlyName, camera(names[i])->busView().friendlyName);
        EXPECT_TRUE(sources[i].serialKnown);
    }
    EXPECT_EQ(sources[1].serial, kSerial1);

    std::shared_ptr<VideoSource> source;
    EXPECT_EQ(video.openSource("v4l:1-3:vid_04b4&pid_00f3:", source), -ENODEV);
    EXPECT_EQ(source, nullptr);
}

// A camera whose serial the video stack cannot learn is listed without one,
// as the simulator's own video port lists it; the vendor channel still reads
// the serial from the device.
TEST_F(V4l2VideoPortOverBridge, HiddenSerialIsUnknownToTheVideoPortOnly) {
    bus->add("cam0", kV3VideoAudio, kSerial0, false);
    bus->set("cam0", "serial-hidden", "1");
    startBridge();
    std::vector<VideoSourceEntry> sources;
    ASSERT_EQ(video.listSources(sources), 0);
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_FALSE(sources[0].serialKnown);
    EXPECT_EQ(sources[0].serial, "");
    EXPECT_EQ(sources[0].symbolicLink, "v4l:1-1:vid_3a7c&pid_0003:");
    EXPECT_EQ(sources[0].symbolicLink, device("cam0").videoLink);

    LibusbPort usb;
    std::vector<UsbDeviceEntry> entries;
    ASSERT_EQ(usb.listDevices(entries), 0);
    const std::string usbPath = "usb:1-1:vid_3a7c&pid_0003:" + kSerial0;
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                            [&](const UsbDeviceEntry& entry) { return entry.path == usbPath; }));
}

TEST_F(V4l2VideoPortOverBridge, ExtensionUnitCarriesVendorRequestsBothWays) {
    startWithTwoCameras();
    auto source = openCamera("cam0");
    ASSERT_TRUE(source);
    uint8_t unitId = 0;
    ASSERT_EQ(source->findExtensionUnit(kVeltrionExtensionUnitGuid, unitId), 0);
    EXPECT_EQ(unitId, kExpectedUnitId);
    EXPECT_EQ(length(*source, xu::kGeneric7BXfer), xu::kHeaderSize);
    EXPECT_EQ(length(*source, xu::kGeneric256BXfer), xu::kReplySize);
    EXPECT_EQ(length(*source, xu::kGeneric263BXfer), xu::kHeaderAndDataSize);

    // The version block as the vendor channel reads it.
    ASSERT_EQ(headerRequest(*source, header(vreq::kQuery, 0, vreq::kQueryVersions, vreq::kVersionBlockSize)), 0);
    const auto reply = latchedReply(*source);
    std::vector<uint8_t> viaVendor;
    ASSERT_EQ(in(*open("cam0"), vreq::kQuery, 0, vreq::kQueryVersions, viaVendor, vreq::kVersionBlockSize),
              vreq::kVersionBlockSize);
    EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + vreq::kVersionBlockSize), viaVendor);

    // A flash page programmed through the unit lands in the camera's flash.
    ASSERT_EQ(headerRequest(*source, header(vreq::kSpiModeEnter, 0, kSpiModeIndexV3, 1)), 0);
    std::vector<uint8_t> block = header(vreq::kFlashProgram, kScratchAddress >> 16, kScratchAddress & 0xFFFF, kPageSize);
    std::vector<uint8_t> page(kPageSize);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 5 + 1);
    block.insert(block.end(), page.begin(), page.end());
    ASSERT_EQ(block.size(), xu::kHeaderAndDataSize);
    ASSERT_EQ(source->queryExtensionUnit(kExpectedUnitId, xu::kGeneric263BXfer, XuQuery::SetCur, block.data(),
                                         xu::kHeaderAndDataSize),
              0);
    EXPECT_EQ(bus->readFlash("cam0", kScratchAddress, kPageSize), page);
}

TEST_F(V4l2VideoPortOverBridge, ExtensionUnitRefusalsAreTheDriversAndTheCameras) {
    startWithTwoCameras();
    auto source = openCamera("cam1");
    ASSERT_TRUE(source);
    uint8_t status = 0;
    // Before the unit was looked up the driver answers for a missing selector
    // and a wrong unit; after, the port refuses the selector itself, alike.
    EXPECT_EQ(source->queryExtensionUnit(kExpectedUnitId, kSelectorNotInUnit, XuQuery::GetCur, &status, 1), -ENOENT);
    EXPECT_EQ(source->queryExtensionUnit(kExpectedUnitId + 1, xu::kGetSpiRead, XuQuery::GetCur, &status, 1), -ENOENT);
    uint8_t unitId = 0;
    ASSERT_EQ(source->findExtensionUnit(kVeltrionExtensionUnitGuid, unitId), 0);
    EXPECT_EQ(source->queryExtensionUnit(unitId, kSelectorNotInUnit, XuQuery::GetCur, &status, 1), -ENOENT);
    EXPECT_EQ(source->queryExtensionUnit(unitId, xu::kGetSpiRead, XuQuery::GetCur, &status, 1), 0);

    // A size other than the control's length: what the camera says, unchanged.
    std::vector<uint8_t> shortHeader(xu::kHeaderSize - 1);
    EXPECT_EQ(source->queryExtensionUnit(unitId, xu::kGeneric7BXfer, XuQuery::SetCur, shortHeader.data(),
                                         static_cast<uint16_t>(shortHeader.size())),
              -ENOBUFS);
    // A request the camera stalls fails the control with EIO.
    bus->fault("cam1", "fail-next", "df:1");
    EXPECT_EQ(headerRequest(*source, header(vreq::kSystemLoaded, 0, 0, 1)), -EIO);
    EXPECT_FALSE(source->isGone());
}

TEST_F(V4l2VideoPortOverBridge, StandardControlsRoundTrip) {
    startWithTwoCameras();
    auto source = openCamera("cam0");
    ASSERT_TRUE(source);
    VideoControlRange range;
    ASSERT_EQ(source->queryControl(VideoControlId::Brightness, range), 0);
    ASSERT_LT(range.minimum, range.maximum);
    const int32_t wanted = range.maximum - range.step;
    ASSERT_EQ(source->setControl(VideoControlId::Brightness, wanted), 0);
    int32_t value = 0;
    ASSERT_EQ(source->getControl(VideoControlId::Brightness, value), 0);
    EXPECT_EQ(value, wanted);
    // The camera's other process-visible face agrees: a second open sees it.
    auto again = openCamera("cam0");
    ASSERT_TRUE(again);
    ASSERT_EQ(again->getControl(VideoControlId::Brightness, value), 0);
    EXPECT_EQ(value, wanted);

    VideoControlRange pan;
    EXPECT_EQ(source->queryControl(VideoControlId::Pan, pan), 0);
    EXPECT_EQ(source->queryControl(VideoControlId::ColorEnable, range), -EINVAL);
    EXPECT_EQ(source->getControl(VideoControlId::ColorEnable, value), -EINVAL);
    EXPECT_EQ(source->setControl(VideoControlId::ColorEnable, 1), -EINVAL);
}

TEST_F(V4l2VideoPortOverBridge, SourceIsGoneAfterAResetAndOpensAgainOnceBack) {
    startWithTwoCameras();
    const std::string link = device("cam0").videoLink;
    auto source = openCamera("cam0");
    ASSERT_TRUE(source);
    EXPECT_FALSE(source->isGone());
    // The reset takes the camera off the bus with the request that asked for it.
    headerRequest(*source, header(vreq::kUsbReset, 0, 0, 1));
    EXPECT_TRUE(source->isGone());
    uint8_t status = 0;
    EXPECT_EQ(source->queryExtensionUnit(kExpectedUnitId, xu::kGetSpiRead, XuQuery::GetCur, &status, 1), -ENODEV);

    std::shared_ptr<VideoSource> back;
    EXPECT_TRUE(eventually([&] { return video.openSource(link, back) == 0; }));
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->isGone());
    EXPECT_EQ(back->queryExtensionUnit(kExpectedUnitId, xu::kGetSpiRead, XuQuery::GetCur, &status, 1), 0);
    EXPECT_TRUE(source->isGone()) << "the old node stays dead";

    bus->remove("cam0");
    bridge->sync();
    EXPECT_TRUE(back->isGone());
    EXPECT_EQ(video.openSource(link, back), -ENODEV);
}

TEST_F(V4l2VideoPortOverBridge, StalledCameraHoldsUpNeitherOtherCamerasNorUsb) {
    startWithTwoCameras();
    auto slow = openCamera("cam0");
    auto other = openCamera("cam1");
    ASSERT_TRUE(slow && other);
    bus->fault("cam0", "xu-stall-ms", "2000");
    auto stalled = std::async(std::launch::async, [&] {
        uint8_t status = 0;
        return slow->queryExtensionUnit(kExpectedUnitId, xu::kGetSpiRead, XuQuery::GetCur, &status, 1);
    });
    // While cam0's answer is late, cam1's video node and USB node answer.
    int32_t value = 0;
    EXPECT_EQ(other->getControl(VideoControlId::Brightness, value), 0);
    LibusbPort usb;
    std::unique_ptr<UsbHandle> handle;
    ASSERT_EQ(usb.open(device("cam1").usbPath, handle), 0);
    EXPECT_EQ(systemLoaded(*handle), 1);
    EXPECT_EQ(stalled.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    EXPECT_EQ(stalled.get(), 0);
}

}  // namespace
}  // namespace veltrion::realports::test
