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

#include "Bus.h"
#include "Camera.h"
#include "Preload.h"
#include "Registry.h"
#include "UsbBridge.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"
#include "support/TempDir.h"

namespace veltrion::realports::test {

namespace vreq = veltrion::vreq;

constexpr uint16_t kV3VideoAudio = 0x0003;
constexpr uint16_t kV2sVideoAudio = 0xc002;
const std::string kSerial0 = "A1B2C3D4E5F6";
const std::string kSerial1 = "0123456789AB";

class BridgedBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Without the preload the real port would list the host's devices.
        ASSERT_TRUE(preloadActive()) << "run under LD_PRELOAD=" << kPreloadLibrary << " (ctest sets it)";
    }

    // cam0 (V3, with audio) and cam1 (V2s), then the bridge.
    void startWithTwoCameras() {
        bus.add("cam0", kV3VideoAudio, kSerial0, false);
        bus.add("cam1", kV2sVideoAudio, kSerial1, false);
        startBridge();
    }
    void startBridge() { bridge = std::make_unique<UsbBridge>(dir.path()); }

    BridgedDevice device(const std::string& camera) const {
        const auto found = bridge->device(camera);
        return found ? *found : BridgedDevice{};
    }
    std::shared_ptr<camsim::Camera> camera(const std::string& name) const {
        return camsim::acquireCamera(dir.path() / name);
    }

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

    // A device-to-host vendor request; the reply is cut to what arrived.
    static int in(UsbHandle& handle, uint8_t request, uint16_t value, uint16_t index, std::vector<uint8_t>& reply,
                  uint16_t length, uint8_t type = vreq::kTypeIn) {
        reply.assign(length, 0xEE);
        const int result = handle.controlTransfer(type, request, value, index, reply.data(), length, kControlTimeoutMs);
        reply.resize(result > 0 ? static_cast<size_t>(result) : 0);
        return result;
    }
    static int out(UsbHandle& handle, uint8_t request, uint16_t value, uint16_t index, std::vector<uint8_t> data) {
        return handle.controlTransfer(vreq::kTypeOut, request, value, index, data.data(),
                                      static_cast<uint16_t>(data.size()), kControlTimeoutMs);
    }
    static int systemLoaded(UsbHandle& handle) {
        std::vector<uint8_t> reply;
        const int result = in(handle, vreq::kSystemLoaded, 0, 0, reply, 1);
        return result == 1 ? reply[0] : result;
    }
    static int reset(UsbHandle& handle) {
        std::vector<uint8_t> reply;
        return in(handle, vreq::kUsbReset, 0, 0, reply, 1);
    }

    TempDir dir{"realports"};
    camsim::Bus bus{dir.path()};
    std::unique_ptr<UsbBridge> bridge;  // goes before the folder does
};

}  // namespace veltrion::realports::test
