// The real hot-plug port against the bridged bus: arrivals and removals of
// cameras as USB devices and as capture sources, named as the two channels
// list them, on both of libudev's event sources. Under umockdev's preload
// both the "udev" and the "kernel" monitor receive the testbed's uevents
// (its netlink socket is faked), and /run/udev/control does not exist, so
// the automatic choice is the kernel's, as in a container without udevd.

#include <poll.h>

#include <algorithm>
#include <fstream>

#include "BridgeFixture.h"
#include "device/hotplug/UdevHotplugPort.h"

namespace veltrion::realports::test {
namespace {

constexpr int kPollSliceMs = 20;

// The product string the kernel read from a bridged device.
std::string productOf(const BridgedDevice& device) {
    std::ifstream file("/sys/bus/usb/devices/" + device.sysName + "/product");
    std::string product;
    std::getline(file, product);
    return product;
}

using Kind = HotplugEvent::Kind;
using Source = UdevHotplugPort::Source;

class UdevHotplugPortOverBridge : public BridgedBusTest, public ::testing::WithParamInterface<Source> {
protected:
    std::unique_ptr<UdevHotplugPort> createPort() {
        std::string error;
        auto created = UdevHotplugPort::create(error, GetParam());
        EXPECT_TRUE(created) << error;
        EXPECT_TRUE(error.empty());
        return created;
    }

    // Takes events until `count` have come, waiting on the port's descriptor.
    std::vector<HotplugEvent> take(UdevHotplugPort& hotplug, size_t count) {
        std::vector<HotplugEvent> events;
        eventually([&] {
            pollfd ready{hotplug.eventDescriptor(), POLLIN, 0};
            ::poll(&ready, 1, kPollSliceMs);
            hotplug.takeEvents(events);
            return events.size() >= count;
        });
        return events;
    }
    // What else has come; the uevents of this process are delivered at once.
    static std::vector<HotplugEvent> rest(UdevHotplugPort& hotplug) {
        std::vector<HotplugEvent> events;
        hotplug.takeEvents(events);
        return events;
    }

    static bool has(const std::vector<HotplugEvent>& events, Kind kind, const std::string& path,
                    const std::string& name) {
        return std::any_of(events.begin(), events.end(), [&](const HotplugEvent& event) {
            return event.kind == kind && event.devicePath == path && event.friendlyName == name;
        });
    }
};

TEST_P(UdevHotplugPortOverBridge, CameraArrivesAndLeavesAsUsbDeviceAndCaptureSource) {
    startBridge();
    auto hotplug = createPort();
    ASSERT_TRUE(hotplug);
    EXPECT_EQ(hotplug->sourceName(), GetParam() == Source::Udev ? "udev" : "kernel");

    bus->add("cam0", kV3VideoAudio, kSerial0, false);
    bridge->sync();
    const BridgedDevice cam0 = device("cam0");
    const std::string card = camera("cam0")->busView().friendlyName;
    const std::string product = productOf(cam0);
    ASSERT_FALSE(product.empty());
    auto events = take(*hotplug, 2);
    // The USB device first, then its capture node; its metadata node and
    // interface give nothing.
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(has({events[0]}, Kind::Arrival, cam0.usbPath, product));
    EXPECT_TRUE(has({events[1]}, Kind::Arrival, cam0.videoLink, card));
    EXPECT_TRUE(rest(*hotplug).empty());

    bus->remove("cam0");
    bridge->sync();
    events = take(*hotplug, 2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(has({events[0]}, Kind::Removal, cam0.videoLink, card));
    EXPECT_TRUE(has({events[1]}, Kind::Removal, cam0.usbPath, product));
    EXPECT_TRUE(rest(*hotplug).empty());
}

TEST_P(UdevHotplugPortOverBridge, CamerasPresentAtStartAreNamedWhenTheyLeave) {
    startWithTwoCameras();
    bus->add("cam2", kV3VideoAudio, "FEDCBA987654", true);  // the boot loader: a USB device only
    bridge->sync();
    const BridgedDevice cam1 = device("cam1");
    const BridgedDevice cam2 = device("cam2");
    const std::string card = camera("cam1")->busView().friendlyName;
    const std::string product = productOf(cam1);
    auto hotplug = createPort();
    ASSERT_TRUE(hotplug);

    bus->remove("cam1");
    bus->remove("cam2");
    bridge->sync();
    const auto events = take(*hotplug, 3);
    EXPECT_EQ(events.size(), 3u);
    EXPECT_TRUE(has(events, Kind::Removal, cam1.videoLink, card))
        << "the capture source's link and card name, from what was seen at start";
    EXPECT_TRUE(has(events, Kind::Removal, cam1.usbPath, product));
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [&](const HotplugEvent& event) {
        return event.kind == Kind::Removal && event.devicePath == cam2.usbPath;
    }));
}

TEST_P(UdevHotplugPortOverBridge, ResetIsARemovalThenAnArrivalOfTheSameNames) {
    startWithTwoCameras();
    const BridgedDevice before = device("cam0");
    auto hotplug = createPort();
    ASSERT_TRUE(hotplug);
    reset(*open("cam0"));
    bridge->sync();
    const auto events = take(*hotplug, 4);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, Kind::Removal);
    EXPECT_EQ(events[0].devicePath, before.videoLink);
    EXPECT_EQ(events[1].kind, Kind::Removal);
    EXPECT_EQ(events[1].devicePath, before.usbPath);
    EXPECT_EQ(events[2].kind, Kind::Arrival);
    EXPECT_EQ(events[2].devicePath, before.usbPath);
    EXPECT_EQ(events[3].kind, Kind::Arrival);
    EXPECT_EQ(events[3].devicePath, before.videoLink);
}

std::string sourceLabel(const ::testing::TestParamInfo<Source>& source) {
    return source.param == Source::Udev ? "Udev" : "Kernel";
}

INSTANTIATE_TEST_SUITE_P(BothSources, UdevHotplugPortOverBridge, ::testing::Values(Source::Udev, Source::Kernel),
                         sourceLabel);

}  // namespace
}  // namespace veltrion::realports::test
