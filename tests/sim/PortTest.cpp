// The camera as the vendor channel sees it through the port: listing,
// opening, descriptors, queries, reset, and state that outlives a process.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "LiveState.h"
#include "MappedFile.h"
#include "SimError.h"
#include "SimFixture.h"
#include "base/ByteLayout.h"

namespace camsim::test {
namespace {

class PortTest : public SimBusTest {
protected:
    static std::string stringDescriptor(veltrion::UsbHandle& handle, uint8_t index) {
        std::vector<uint8_t> reply;
        const int result = in(handle, vreq::kStdGetDescriptor, static_cast<uint16_t>(vreq::kDescriptorString << 8 | index),
                              vreq::kLangEnglishUs, reply, 255, vreq::kStdTypeIn);
        if (result < 2 || reply[0] != result || reply[1] != vreq::kDescriptorString) return "<" + std::to_string(result) + ">";
        std::string text;
        for (size_t i = 2; i + 1 < reply.size(); i += 2) text.push_back(static_cast<char>(reply[i]));
        return text;
    }
    static std::vector<uint8_t> deviceDescriptor(veltrion::UsbHandle& handle, uint16_t length = 18) {
        std::vector<uint8_t> reply;
        in(handle, vreq::kStdGetDescriptor, vreq::kDescriptorDevice << 8, 0, reply, length, vreq::kStdTypeIn);
        return reply;
    }
    static int byteQuery(veltrion::UsbHandle& handle, uint16_t value, uint16_t index) {
        std::vector<uint8_t> reply;
        const int result = in(handle, vreq::kQuery, value, index, reply, 1);
        return result == 1 ? reply[0] : result;
    }
};

TEST_F(PortTest, ListsPresentCamerasSortedByPath) {
    bus->add("zeta");
    bus->add("alpha", 0x8003, "SERIAL000001", false);
    std::vector<veltrion::UsbDeviceEntry> devices{{"stale", 1, 2}};
    ASSERT_EQ(port->listDevices(devices), 0);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].path, "sim:alpha:vid_3a7c&pid_8003:SERIAL000001");
    EXPECT_EQ(devices[0].productId, 0x8003);
    EXPECT_EQ(devices[1].path.rfind("sim:zeta:vid_3a7c&pid_0003:", 0), 0u);

    // Folders that are not cameras are not on the bus.
    std::filesystem::create_directories(dir / "junk");
    std::ofstream(dir / "junk" / "camera.json") << "{ not json";
    ASSERT_EQ(port->listDevices(devices), 0);
    EXPECT_EQ(devices.size(), 2u);

    SimUsbPort missing(dir / "nothing-here");
    EXPECT_EQ(missing.listDevices(devices), 0);
    EXPECT_TRUE(devices.empty());
}

TEST_F(PortTest, OpenRefusesWrongIdentitiesAndBadPaths) {
    bus->add("cam0");
    const std::string serial = bus->find("cam0").serial;
    std::unique_ptr<veltrion::UsbHandle> handle;
    EXPECT_EQ(port->open("sim:cam0:vid_3a7c&pid_0003:", handle), 0);  // a path without a serial takes any
    // Another camera in this one's place is refused under the old path.
    EXPECT_EQ(port->open("sim:cam0:vid_3a7c&pid_0003:0123456789AB", handle), veltrion::kUsbErrorOtherSerial);
    EXPECT_FALSE(handle);
    for (const std::string& path : {"sim:cam0:vid_3a7c&pid_8003:" + serial, "sim:cam1:vid_3a7c&pid_0003:" + serial,
                                   std::string("usb:1-1:vid_3a7c&pid_0003:"), std::string("sim:cam0:vid_3a7c"),
                                   std::string("sim:..:vid_3a7c&pid_0003:"), std::string("sim:cam0:vid_zz7c&pid_0003:")}) {
        EXPECT_EQ(port->open(path, handle), veltrion::kUsbErrorNoDevice) << path;
        EXPECT_FALSE(handle);
    }
}

TEST_F(PortTest, DeviceAndStringDescriptors) {
    bus->add("cam0", 0xc002, "A1B2C3D4E5F6", false);
    auto handle = open("cam0");
    const auto device = deviceDescriptor(*handle);
    ASSERT_EQ(device.size(), 18u);
    const veltrion::ByteReader reader(device);
    EXPECT_EQ(device[0], 18);
    EXPECT_EQ(device[1], vreq::kDescriptorDevice);
    EXPECT_EQ(*reader.le16(2), 0x0300);
    EXPECT_EQ(*reader.le16(8), 0x3a7c);
    EXPECT_EQ(*reader.le16(10), 0xc002);
    EXPECT_EQ(device[14], 1);
    EXPECT_EQ(device[15], 2);
    EXPECT_EQ(device[16], 3);
    EXPECT_EQ(device[17], 1);
    EXPECT_EQ(deviceDescriptor(*handle, 8).size(), 8u);  // never more than asked for

    bus->set("cam0", "usb-type", "2");
    EXPECT_EQ(*veltrion::ByteReader(deviceDescriptor(*handle)).le16(2), 0x0210);

    std::vector<uint8_t> languages;
    ASSERT_EQ(in(*handle, vreq::kStdGetDescriptor, vreq::kDescriptorString << 8, 0, languages, 255, vreq::kStdTypeIn), 4);
    EXPECT_EQ(languages, (std::vector<uint8_t>{4, 3, 0x09, 0x04}));
    EXPECT_EQ(stringDescriptor(*handle, 1), "Vemto");
    EXPECT_EQ(stringDescriptor(*handle, 2), "Veltrion Non-Panoramic");
    EXPECT_EQ(stringDescriptor(*handle, 3), "A1B2C3D4E5F6");
    EXPECT_EQ(stringDescriptor(*handle, 4), "<" + std::to_string(veltrion::kUsbErrorPipe) + ">");
}

TEST_F(PortTest, BootLoaderDescriptorsHaveNoSerial) {
    bus->add("cam0", AddOptions{0x0003, "", true, {}});
    auto handle = open("cam0");
    const auto device = deviceDescriptor(*handle);
    ASSERT_EQ(device.size(), 18u);
    const veltrion::ByteReader reader(device);
    EXPECT_EQ(*reader.le16(8), 0x04b4);
    EXPECT_EQ(*reader.le16(10), 0x00f3);
    EXPECT_EQ(device[16], 0);  // no serial string
    EXPECT_EQ(stringDescriptor(*handle, 2), "WestBridge");
    EXPECT_EQ(stringDescriptor(*handle, 3), "<" + std::to_string(veltrion::kUsbErrorPipe) + ">");
}

TEST_F(PortTest, StateQueries) {
    bus->add("cam0");
    auto handle = open("cam0");
    EXPECT_EQ(byteQuery(*handle, 0, vreq::kQueryUsbType), 3);
    EXPECT_EQ(byteQuery(*handle, 0, vreq::kQueryExternalPower), 1);
    EXPECT_EQ(byteQuery(*handle, vreq::kQueryStreamingValue, vreq::kQueryStreaming), 0);
    bus->set("cam0", "streaming", "1");
    bus->set("cam0", "ext-power", "0");
    EXPECT_EQ(byteQuery(*handle, vreq::kQueryStreamingValue, vreq::kQueryStreaming), vreq::kStreamingActive);
    EXPECT_EQ(byteQuery(*handle, 0, vreq::kQueryExternalPower), 0);
    EXPECT_EQ(byteQuery(*handle, 0, vreq::kQueryStreaming), veltrion::kUsbErrorPipe);  // wValue must be 1

    // Unknown requests and sub-codes stall; a short IN stage gets only what it asked for.
    std::vector<uint8_t> reply;
    EXPECT_EQ(in(*handle, 0x99, 0, 0, reply, 4), veltrion::kUsbErrorPipe);
    EXPECT_EQ(in(*handle, vreq::kQuery, 0, 0x77, reply, 4), veltrion::kUsbErrorPipe);
    EXPECT_EQ(in(*handle, vreq::kQuery, 0, vreq::kQueryVersions, reply, 10), 10);
    EXPECT_EQ(out(*handle, vreq::kSystemLoaded, 0, 0, {0}), veltrion::kUsbErrorPipe);  // wrong direction
}

TEST_F(PortTest, ResetDropsEveryHandleAndCountsItself) {
    bus->add("cam0");
    const std::string path = bus->find("cam0").path;
    auto first = open("cam0");
    auto second = open("cam0");
    bus->set("cam0", "streaming", "1");
    EXPECT_EQ(reset(*first), 1);
    EXPECT_EQ(systemLoaded(*first), veltrion::kUsbErrorNoDevice);
    EXPECT_EQ(systemLoaded(*second), veltrion::kUsbErrorNoDevice);
    first.reset();
    second.reset();

    EXPECT_EQ(bus->stats("cam0").at("resets"), 1u);
    EXPECT_EQ(bus->find("cam0").path, path);  // same name, same path
    auto again = open("cam0");
    EXPECT_EQ(systemLoaded(*again), 1);
    EXPECT_EQ(byteQuery(*again, vreq::kQueryStreamingValue, vreq::kQueryStreaming), 0);
}

TEST_F(PortTest, ResetKeepsTheCameraAwayForItsReenumerationTime) {
    bus->add("cam0");
    bus->set("cam0", "timing", "realistic");
    auto handle = open("cam0");
    ASSERT_EQ(reset(*handle), 1);
    EXPECT_FALSE(bus->find("cam0").present);
    std::vector<veltrion::UsbDeviceEntry> devices;
    ASSERT_EQ(port->listDevices(devices), 0);
    EXPECT_TRUE(devices.empty());
    std::unique_ptr<veltrion::UsbHandle> late;
    EXPECT_EQ(port->open(bus->find("cam0").path, late), veltrion::kUsbErrorNoDevice);
    const auto state = bus->state("cam0");
    EXPECT_GT(state.bus.absentUntilMs, 0);
    EXPECT_EQ(state.timing.reenumerationMs, 1500u);
}

TEST_F(PortTest, RemovedCameraIsGoneForOpenHandles) {
    bus->add("cam0");
    auto handle = open("cam0");
    bus->remove("cam0");
    EXPECT_EQ(systemLoaded(*handle), veltrion::kUsbErrorNoDevice);
    handle.reset();  // closing a handle of a removed camera writes nothing back
    EXPECT_FALSE(std::filesystem::exists(dir / "cam0"));
    EXPECT_THROW(bus->find("cam0"), SimError);
    bus->add("cam0");  // the name can be used again
    EXPECT_EQ(systemLoaded(*open("cam0")), 1);
}

// A program that dies in the middle of a request leaves the camera to the
// next one: the state lock it held is handed on.
TEST_F(PortTest, ProgramDyingMidRequestLeavesTheCameraUsable) {
    bus->add("cam0");
    auto handle = open("cam0");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        MappedFile live(dir / "cam0" / "live.bin", sizeof(LiveState));
        reinterpret_cast<LiveState*>(live.bytes().data())->stateMutex.lock();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(systemLoaded(*handle), 1);
    EXPECT_EQ(bus->stats("cam0").at("transfers-0xdf"), 1u);
}

TEST_F(PortTest, StateOutlivesTheProcess) {
    bus->add("cam0");
    {
        auto handle = open("cam0");
        for (int i = 0; i < 3; ++i) versions(*handle);
        systemLoaded(*handle);
    }
    // A fresh bus object loads what the closed handle saved.
    const auto stats = Bus(dir).stats("cam0");
    EXPECT_EQ(stats.at("transfers-0xfe"), 3u);
    EXPECT_EQ(stats.at("transfers-0xdf"), 1u);

    // And another process (the tool) sees it too.
    const std::string command = std::string(VELTRION_BIN_DIR) + "/veltrion-sim --dir '" + dir.string() + "' stats cam0";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_NE(output.find("transfers-0xfe: 3\n"), std::string::npos) << output;
    EXPECT_EQ(output.rfind("resets: 0\npower-cycles: 0\n", 0), 0u) << output;

    // Settings made by another process show at the next open.
    const std::string set = std::string(VELTRION_BIN_DIR) + "/veltrion-sim --dir '" + dir.string() + "' set cam0 ext-power 0";
    ASSERT_EQ(std::system(set.c_str()), 0);
    EXPECT_EQ(byteQuery(*open("cam0"), 0, vreq::kQueryExternalPower), 0);

    // camera.json is replaced whole; no temporary files stay behind.
    for (const auto& entry : std::filesystem::directory_iterator(dir / "cam0"))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace camsim::test
