// The bridged bus as other USB code sees it: sysfs attributes and
// descriptors, the /dev node and its plain control ioctl, the uevents of a
// camera leaving and coming back, and the refusal to run without the preload.

#include <fcntl.h>
#include <glib.h>
#include <libusb.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "BridgeFixture.h"
#include "device/usb/LibusbPort.h"

extern char** environ;

namespace veltrion::realports::test {
namespace {

constexpr uint8_t kUnknownRequest = 0x01;
constexpr size_t kUsableDeviceNumbers = 254;  // 2..255: the root hub has 1
constexpr uint8_t kClassVideo = 0x0E;
constexpr uint8_t kSubClassVideoControl = 0x01;
constexpr uint8_t kClassSpecificInterface = 0x24;
constexpr uint8_t kVcExtensionUnit = 0x06;
constexpr size_t kExtensionUnitGuidOffset = 4;
constexpr size_t kGuidSize = 16;
const std::vector<uint8_t> kCameraGuid{0xA4, 0x27, 0x1D, 0x5E, 0xC3, 0x94, 0x1F, 0x4B,
                                       0x8A, 0x6E, 0x3C, 0x0B, 0x7D, 0x92, 0xF4, 0x15};

std::string sysfsAttribute(const std::string& device, const std::string& name) {
    std::ifstream file("/sys/bus/usb/devices/" + device + "/" + name);
    std::string value;
    std::getline(file, value);
    return value;
}

// A file descriptor closed on every way out.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

struct LibusbContext {
    LibusbContext() { libusb_init(&context); }
    ~LibusbContext() {
        if (context) libusb_exit(context);
    }
    LibusbContext(const LibusbContext&) = delete;
    LibusbContext& operator=(const LibusbContext&) = delete;
    libusb_context* context = nullptr;
};

class BridgeTest : public BridgedBusTest {};

TEST_F(BridgeTest, RefusesToRunWithoutThePreload) {
    const std::string preload = std::getenv("LD_PRELOAD");
    ::unsetenv("LD_PRELOAD");
    EXPECT_THROW(UsbBridge{dir}, std::runtime_error);
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
}

// The pid of a process that has ended.
pid_t endedProcess() {
    char program[] = "/bin/true";
    char* argv[] = {program, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) return 0;
    ::waitpid(pid, nullptr, 0);
    return pid;
}

std::filesystem::path makeTestbedRoot() {
    std::string pattern = (std::filesystem::path(g_get_tmp_dir()) / "umockdev.XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

TEST_F(BridgeTest, TestbedsLeftByEndedBridgesAreRemoved) {
    const auto abandoned = makeTestbedRoot();
    const auto foreign = makeTestbedRoot();
    ASSERT_FALSE(abandoned.empty() || foreign.empty());
    const pid_t ended = endedProcess();
    ASSERT_GT(ended, 0);
    std::ofstream(abandoned / ".veltrion-bridge-owner") << ended << "\n";
    startBridge();
    EXPECT_FALSE(std::filesystem::exists(abandoned));
    // Not a bridge's: some other program's testbed, left alone.
    EXPECT_TRUE(std::filesystem::exists(foreign));
    const std::string root = bridge->rootDir();
    EXPECT_TRUE(std::filesystem::exists(root));
    bridge.reset();
    EXPECT_FALSE(std::filesystem::exists(root));
    std::filesystem::remove_all(foreign);
}

TEST_F(BridgeTest, SysfsShowsWhatTheKernelWould) {
    startWithTwoCameras();
    const BridgedDevice cam0 = device("cam0");
    EXPECT_EQ(cam0.sysName, "1-1");
    EXPECT_EQ(sysfsAttribute("1-1", "idVendor"), "3a7c");
    EXPECT_EQ(sysfsAttribute("1-1", "idProduct"), "0003");
    EXPECT_EQ(sysfsAttribute("1-1", "serial"), kSerial0);
    EXPECT_EQ(sysfsAttribute("1-1", "product"), "Veltrion 3");
    EXPECT_EQ(sysfsAttribute("1-1", "busnum"), "1");
    EXPECT_EQ(sysfsAttribute("1-1", "devnum"), std::to_string(cam0.deviceNumber));
    EXPECT_EQ(sysfsAttribute("1-1", "speed"), "5000");
    EXPECT_EQ(sysfsAttribute("1-2", "serial"), kSerial1);
    EXPECT_EQ(::access(cam0.devNode.c_str(), F_OK), 0) << cam0.devNode;

    // A camera on a high-speed port reports USB 2.1 and enumerates as such.
    bus->set("cam1", "usb-type", "2");
    bus->replug("cam1");
    bridge->sync();
    EXPECT_EQ(sysfsAttribute("1-2", "speed"), "480");
}

TEST_F(BridgeTest, ConfigurationCarriesTheCamerasExtensionUnit) {
    startWithTwoCameras();
    LibusbContext usb;
    ASSERT_NE(usb.context, nullptr);
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(usb.context, &list);
    bool found = false;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        libusb_get_device_descriptor(list[i], &descriptor);
        if (descriptor.idProduct != kV3VideoAudio || descriptor.idVendor != 0x3a7c) continue;
        libusb_config_descriptor* config = nullptr;
        ASSERT_EQ(libusb_get_active_config_descriptor(list[i], &config), 0);
        EXPECT_EQ(config->bNumInterfaces, 4) << "video and audio, control and streaming each";
        const libusb_interface_descriptor& control = config->interface[0].altsetting[0];
        EXPECT_EQ(control.bInterfaceClass, kClassVideo);
        EXPECT_EQ(control.bInterfaceSubClass, kSubClassVideoControl);
        // Walk the class-specific descriptors by their lengths.
        const std::vector<uint8_t> extra(control.extra, control.extra + control.extra_length);
        for (size_t at = 0; at + 2 < extra.size() && extra[at] > 0; at += extra[at]) {
            if (extra[at + 1] != kClassSpecificInterface || extra[at + 2] != kVcExtensionUnit) continue;
            ASSERT_LE(at + kExtensionUnitGuidOffset + kGuidSize, extra.size());
            const auto guid = extra.begin() + static_cast<std::ptrdiff_t>(at + kExtensionUnitGuidOffset);
            EXPECT_EQ(std::vector<uint8_t>(guid, guid + kGuidSize), kCameraGuid);
            found = true;
        }
        libusb_free_config_descriptor(config);
    }
    libusb_free_device_list(list, 1);
    EXPECT_TRUE(found);
}

TEST_F(BridgeTest, PlainControlIoctlOnTheNode) {
    startWithTwoCameras();
    const Fd fd(::open(device("cam0").devNode.c_str(), O_RDWR));
    ASSERT_GE(fd.get(), 0);
    uint8_t data[4] = {};
    usbdevfs_ctrltransfer transfer{};
    transfer.bRequestType = vreq::kTypeIn;
    transfer.bRequest = vreq::kSystemLoaded;
    transfer.wLength = sizeof data;
    transfer.timeout = kControlTimeoutMs;
    transfer.data = data;
    EXPECT_EQ(::ioctl(fd.get(), USBDEVFS_CONTROL, &transfer), 1);
    EXPECT_EQ(data[0], 1);

    transfer.bRequest = kUnknownRequest;
    EXPECT_EQ(::ioctl(fd.get(), USBDEVFS_CONTROL, &transfer), -1);
    EXPECT_EQ(errno, EPIPE);
}

int countEvent(libusb_context*, libusb_device*, libusb_hotplug_event event, void* counts) {
    auto* seen = static_cast<std::vector<libusb_hotplug_event>*>(counts);
    seen->push_back(event);
    return 0;
}

TEST_F(BridgeTest, ResetIsAnnouncedAsRemoveThenAdd) {
    startWithTwoCameras();
    LibusbContext usb;
    ASSERT_NE(usb.context, nullptr);
    std::vector<libusb_hotplug_event> events;
    libusb_hotplug_callback_handle callback = 0;
    ASSERT_EQ(libusb_hotplug_register_callback(
                  usb.context,
                  static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                    LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
                  LIBUSB_HOTPLUG_NO_FLAGS, 0x3a7c, kV3VideoAudio, LIBUSB_HOTPLUG_MATCH_ANY, countEvent, &events,
                  &callback),
              LIBUSB_SUCCESS);

    libusb_device_handle* handle = libusb_open_device_with_vid_pid(usb.context, 0x3a7c, kV3VideoAudio);
    ASSERT_NE(handle, nullptr);
    uint8_t byte = 0;
    EXPECT_EQ(libusb_control_transfer(handle, vreq::kTypeIn, vreq::kUsbReset, 0, 0, &byte, 1, kControlTimeoutMs), 1);
    libusb_close(handle);

    EXPECT_TRUE(eventually([&] {
        timeval none{};
        libusb_handle_events_timeout_completed(usb.context, &none, nullptr);
        return events.size() >= 2;
    }));
    EXPECT_EQ(events, (std::vector<libusb_hotplug_event>{LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT,
                                                          LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED}));
    libusb_hotplug_deregister_callback(usb.context, callback);
}

// Every enumeration takes a device number not used before in the bridge's
// life, past the kernel's 127 as far as libusb reads them; after the last one
// the bridge says why the camera stays away, where umockdev would abort.
TEST_F(BridgeTest, NodeNamesAreNeverReusedUntilTheNumbersRunOut) {
    bus->add("cam0", kV3VideoAudio, kSerial0, false);
    startBridge();
    LibusbPort usb;
    std::set<std::string> nodes;
    std::string exhausted;
    while (exhausted.empty()) {
        const BridgedDevice cam0 = device("cam0");
        ASSERT_TRUE(nodes.insert(cam0.devNode).second) << cam0.devNode << " used twice";
        ASSERT_LE(nodes.size(), kUsableDeviceNumbers) << "the numbers never ran out";
        std::unique_ptr<UsbHandle> handle;
        ASSERT_EQ(usb.open(cam0.usbPath, handle), 0) << cam0.devNode;
        uint8_t byte = 0;
        handle->controlTransfer(vreq::kTypeIn, vreq::kUsbReset, 0, 0, &byte, 1, kControlTimeoutMs);
        handle.reset();
        ASSERT_TRUE(eventually([&] {
            const auto now = bridge->device("cam0");
            if (now) return now->devNode != cam0.devNode;
            try {
                bridge->sync();
            } catch (const DeviceNumbersExhausted& error) {
                exhausted = error.what();
                return true;
            }
            return false;
        })) << "no new enumeration after " << cam0.devNode;
    }
    EXPECT_EQ(nodes.size(), kUsableDeviceNumbers);
    EXPECT_TRUE(nodes.contains("/dev/bus/usb/001/255"));
    EXPECT_NE(exhausted.find("cannot reuse a /dev node name"), std::string::npos) << exhausted;
    EXPECT_FALSE(bridge->device("cam0"));
}

TEST_F(BridgeTest, ClosedNodesAreReleased) {
    startWithTwoCameras();
    {
        const Fd fd(::open(device("cam1").devNode.c_str(), O_RDWR));
        usbdevfs_ctrltransfer transfer{};
        uint8_t byte = 0;
        transfer.bRequestType = vreq::kTypeIn;
        transfer.bRequest = vreq::kSystemLoaded;
        transfer.wLength = 1;
        transfer.data = &byte;
        ASSERT_EQ(::ioctl(fd.get(), USBDEVFS_CONTROL, &transfer), 1);
    }
    EXPECT_TRUE(bridge->waitForClosedClients());
}

}  // namespace
}  // namespace veltrion::realports::test
