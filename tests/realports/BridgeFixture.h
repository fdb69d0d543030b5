#pragma once

// A fresh simulated bus in a temporary folder, shown to this process's real
// USB code through the bridge.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Camera.h"
#include "Preload.h"
#include "Registry.h"
#include "UsbBridge.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"
#include "sim/SimFixture.h"

namespace veltrion::realports::test {

namespace vreq = veltrion::vreq;

constexpr uint16_t kV3VideoAudio = 0x0003;
constexpr uint16_t kV2sVideoAudio = 0xc002;
const std::string kSerial0 = "A1B2C3D4E5F6";
const std::string kSerial1 = "0123456789AB";

// The simulator tests' bus fixture (a fresh folder, its Bus and SimUsbPort,
// the request helpers), with a bridge over the folder.
class BridgedBusTest : public camsim::test::SimBusTest {
protected:
    void SetUp() override {
        // Without the preload the real port would list the host's devices.
        ASSERT_TRUE(preloadActive()) << "run under LD_PRELOAD=" << kPreloadLibrary << " (ctest sets it)";
        SimBusTest::SetUp();
    }
    void TearDown() override {
        bridge.reset();  // before the folder goes
        SimBusTest::TearDown();
    }

    // cam0 (V3, with audio) and cam1 (V2s), then the bridge.
    void startWithTwoCameras() {
        bus->add("cam0", kV3VideoAudio, kSerial0, false);
        bus->add("cam1", kV2sVideoAudio, kSerial1, false);
        startBridge();
    }
    void startBridge() { bridge = std::make_unique<UsbBridge>(dir); }

    BridgedDevice device(const std::string& camera) const {
        const auto found = bridge->device(camera);
        return found ? *found : BridgedDevice{};
    }
    std::shared_ptr<camsim::Camera> camera(const std::string& name) const { return camsim::acquireCamera(dir / name); }

    // Polls a condition for a bounded time; tests never rely on how long
    // something takes, only that it happens.
    static bool eventually(const std::function<bool()>& condition,
                           std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    std::unique_ptr<UsbBridge> bridge;
};

}  // namespace veltrion::realports::test
