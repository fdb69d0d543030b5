// The built console tool over the real libusb path: the tool runs in a child
// process under the preload, with no VELTRION_SIM, and reaches the simulated
// cameras through the bridge in this process. Each run must print exactly
// what the same tool prints over the simulator's own port for the same
// cameras, device paths aside.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "ConsoleHarness.h"
#include "Preload.h"
#include "UsbBridge.h"

extern char** environ;

namespace veltrion::realports::test {
namespace {

const std::string kToolProgram = VELTRION_BIN_DIR "/VemtoK4UtilsExe";
const std::string kSerial0 = "A1B2C3D4E5F6";
const std::string kSerial1 = "0123456789AB";
constexpr const char* kSimVariable = "VELTRION_SIM=";
constexpr const char* kTestbedVariable = "UMOCKDEV_DIR=";
constexpr const char* kPreloadVariable = "LD_PRELOAD=";

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

bool hasPrefix(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

class ConsoleOverUsb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(preloadActive()) << "run under LD_PRELOAD=" << kPreloadLibrary << " (ctest sets it)";
    }

    void addTwoCameras() {
        ASSERT_EQ(bus.sim({"add", "cam0", "--serial", kSerial0}).status, 0);
        ASSERT_EQ(bus.sim({"add", "cam1", "--pid", "c002", "--serial", kSerial1}).status, 0);
    }

    // The tool over the simulator's own port.
    RunResult overSim(const std::vector<std::string>& args) const { return bus.tool(args); }

    // The tool over libusb and the bridge, its device paths written as the
    // simulator's port names the same cameras.
    RunResult overUsb(const std::vector<std::string>& args) const {
        UsbBridge bridge(bus.busDir());
        std::vector<std::string> environment;
        bool preloaded = false;
        bool testbed = false;
        for (char** entry = environ; entry && *entry; ++entry) {
            const std::string text(*entry);
            if (hasPrefix(text, kSimVariable)) continue;
            preloaded = preloaded || hasPrefix(text, kPreloadVariable);
            testbed = testbed || hasPrefix(text, kTestbedVariable);
            environment.push_back(text);
        }
        // A child without both would talk to the host's own USB devices.
        if (!preloaded || !testbed) {
            ADD_FAILURE() << "the child would not run on the testbed";
            return {};
        }
        const auto devices = bridge.devices();  // paths stay with the port through resets
        RunResult result = runProgram(kToolProgram, args, environment, bus.workDir());
        EXPECT_TRUE(bridge.waitForClosedClients()) << "the tool left device nodes open";
        for (const auto& device : devices) {
            replaceAll(result.out, device.usbPath, device.simPath);
            replaceAll(result.err, device.usbPath, device.simPath);
        }
        return result;
    }

    // Runs the action over both ports, simulator first, and expects the same;
    // prepare (if given) sets the cameras up before each run.
    RunResult expectSameOverBothPorts(const std::vector<std::string>& args,
                                      const std::function<void()>& prepare = {}) const {
        if (prepare) prepare();
        const RunResult sim = overSim(args);
        if (prepare) prepare();
        const RunResult usb = overUsb(args);
        EXPECT_EQ(usb.status, sim.status);
        EXPECT_EQ(usb.out, sim.out);
        EXPECT_EQ(usb.err, sim.err);
        return usb;
    }

    SimulatedBus bus;
};

TEST_F(ConsoleOverUsb, DisplayAllShowsTheSameBlocks) {
    addTwoCameras();
    const RunResult r = expectSameOverBothPorts({"-d", "all"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.says("Device 1 found:\n")) << r.out;
    EXPECT_TRUE(r.says("SerialNumber = " + kSerial1 + "\n")) << r.out;
    expectSameOverBothPorts({"-d", "1"});
    expectSameOverBothPorts({"-d", "2"});
}

TEST_F(ConsoleOverUsb, DisplayWithCameraFaults) {
    addTwoCameras();
    // Firmware that stalls the system-loaded request still counts as ready.
    ASSERT_EQ(bus.sim({"fault", "cam0", "refuse-df", "1"}).status, 0);
    expectSameOverBothPorts({"-d", "0"});
    // A version request that fails leaves the versions unread.
    const RunResult r = expectSameOverBothPorts(
        {"-d", "1"}, [this] { ASSERT_EQ(bus.sim({"fault", "cam1", "fail-next", "fe:1"}).status, 0); });
    EXPECT_FALSE(r.says("FX3_Version  = 0x5")) << r.out;
}

TEST_F(ConsoleOverUsb, BrokenCameraCount) {
    addTwoCameras();
    expectSameOverBothPorts({"-b"});
    ASSERT_EQ(bus.sim({"add", "cam2", "--blank"}).status, 0);
    const RunResult r = expectSameOverBothPorts({"-b"});
    EXPECT_EQ(r.status, 0);
    // The boot loader is no camera of the line.
    expectSameOverBothPorts({"-d", "all"});
}

TEST_F(ConsoleOverUsb, RebootLeavesTheBusAndComesBack) {
    addTwoCameras();
    const RunResult r = expectSameOverBothPorts({"--reboot", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(bus.stat("cam0", "resets"), 2);
    EXPECT_EQ(bus.stat("cam1", "resets"), 0);
    expectSameOverBothPorts({"--reboot", "all"});
    EXPECT_EQ(bus.stat("cam0", "resets"), 4);
    EXPECT_EQ(bus.stat("cam1", "resets"), 2);
    // Back on the bus and answering.
    expectSameOverBothPorts({"-d", "all"});
}

TEST_F(ConsoleOverUsb, FlashReadWriteAndErase) {
    addTwoCameras();
    expectSameOverBothPorts({"-r", "0", "0x1000", "64"});
    expectSameOverBothPorts({"-w", "1", "0x300010", "0x01020304"});
    const RunResult r = expectSameOverBothPorts({"-r", "1", "0x300010", "4"});
    EXPECT_TRUE(r.says("0x01020304\n")) << r.out;
    expectSameOverBothPorts({"-e", "1", "0x300010"});
    const RunResult erased = overUsb({"-r", "1", "0x300010", "4"});
    EXPECT_TRUE(erased.says("0xffffffff\n")) << erased.out;
}

TEST_F(ConsoleOverUsb, NoCameraAndBadNumbers) {
    expectSameOverBothPorts({"-d", "all"});
    addTwoCameras();
    expectSameOverBothPorts({"-d", "5"});
    expectSameOverBothPorts({"--reboot", "x"});
}

}  // namespace
}  // namespace veltrion::realports::test
