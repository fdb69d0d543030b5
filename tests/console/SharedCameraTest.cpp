// One camera for every process on the bus: programs that talk to the same
// simulated camera at once see one device, with one reply latch and one
// presence, as they would on a real bus.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ConsoleHarness.h"

namespace {

using namespace std::chrono_literals;

constexpr int kFailure = 255;

// Waits (bounded) until a counter of the camera reaches a value.
bool waitForStat(const SimulatedBus& bus, const std::string& key, long value) {
    for (int tries = 0; tries < 500; ++tries) {
        if (bus.stat("cam0", key) >= value) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Two readers of different regions over the UVC channel: each exchange of
// request header and latched reply is the reader's own, every time.
TEST(SharedCamera, ConcurrentUvcReadersEachGetTheirOwnBytes) {
    SimulatedBus bus;
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);
    const std::vector<std::string> fx3{"-r", "0", "0x010000", "65536", "--uvc"};
    const std::vector<std::string> fpga{"-r", "0", "0x110000", "65536", "--uvc"};
    const RunResult fx3Alone = bus.tool(fx3);
    const RunResult fpgaAlone = bus.tool(fpga);
    ASSERT_EQ(fx3Alone.status, 0) << fx3Alone.out;
    ASSERT_EQ(fpgaAlone.status, 0) << fpgaAlone.out;
    ASSERT_NE(fx3Alone.out, fpgaAlone.out);
    for (int round = 0; round < 3; ++round) {
        const StartedProgram first = bus.startTool(fx3);
        const StartedProgram second = bus.startTool(fpga);
        // Read to the end one after the other: each prints after its reads.
        const RunResult one = finishProgram(first);
        const RunResult other = finishProgram(second);
        EXPECT_EQ(one.status, 0) << one.out;
        EXPECT_EQ(other.status, 0) << other.out;
        EXPECT_TRUE(one.out == fx3Alone.out) << "round " << round << ": the FX3 reader got other bytes";
        EXPECT_TRUE(other.out == fpgaAlone.out) << "round " << round << ": the FPGA reader got other bytes";
    }
}

TEST(SharedCamera, MonitorEndsWhenAnotherProcessRemovesItsCamera) {
    SimulatedBus bus;
    ASSERT_EQ(bus.sim({"add", "cam0", "--pid", "c002"}).status, 0);
    ASSERT_EQ(bus.sim({"set", "cam0", "roi", "100-900"}).status, 0);
    const StartedProgram monitor = bus.startTool({"--start-roi", "0"});
    ASSERT_TRUE(waitForStat(bus, "transfers-0xfd", 2));
    ASSERT_EQ(bus.sim({"remove", "cam0"}).status, 0);
    const RunResult ended = finishWithin(monitor, 5s);
    EXPECT_TRUE(ended.says("ROI device error")) << ended.out;
}

// An update that another process power-cycles midway is not reported done:
// the writes after the cut reach a camera that left SPI mode with its reset.
TEST(SharedCamera, UpdateCutByAnotherProcessIsNotSuccessful) {
    SimulatedBus bus;
    ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0);
    const std::string image = bus.buildImage("newer", {"--group", "V3G"});
    ASSERT_EQ(bus.sim({"set", "cam0", "page-program-us", "300"}).status, 0);
    const StartedProgram update = bus.startTool({"-p", "0", "-f", image});
    ASSERT_TRUE(waitForStat(bus, "pages-programmed", 1));
    ASSERT_EQ(bus.sim({"replug", "cam0"}).status, 0);
    const RunResult result = finishWithin(update, 120s);
    EXPECT_NE(result.status, 0) << result.out;
    EXPECT_FALSE(result.says("Update Successful")) << result.out;
    EXPECT_EQ(bus.stat("cam0", "power-cycles"), 1);
}

// A camera as it leaves the factory: calibrated, aligned and healthy.
TEST(SharedCamera, FactoryCameraReportsNoError) {
    SimulatedBus bus;
    ASSERT_EQ(bus.sim({"add", "cam0", "--serial", "A1B2C3D4E5F6"}).status, 0);
    const RunResult report = bus.tool({"-z", "0"});
    ASSERT_EQ(report.status, 0) << report.out;
    const std::string text = readFile(bus.workDir() + "/report/device (A1B2C3D4E5F6)/reportFile(A1B2C3D4E5F6).txt");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find("**ERROR**"), std::string::npos) << text;
    EXPECT_EQ(report.out.find("**ERROR**"), std::string::npos);

    // The explicit erased case: one region of 0xFF pairs.
    ASSERT_EQ(bus.sim({"set", "cam0", "lut", "erased"}).status, 0);
    ASSERT_EQ(bus.tool({"-z", "0"}).status, 0);
    const std::string erased = readFile(bus.workDir() + "/report/device (A1B2C3D4E5F6)/reportFile(A1B2C3D4E5F6).txt");
    EXPECT_NE(erased.find("**ERROR** 0xFF found in LUT"), std::string::npos);
}

}  // namespace
