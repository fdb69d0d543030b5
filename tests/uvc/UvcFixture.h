#pragma once

// A fresh simulated bus for each test, selected for both the video and the
// hot-plug port the way a program selects it (VELTRION_SIM), with helpers for
// the UVC channel's device object.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Bus.h"
#include "base/Logger.h"
#include "device/uvc/UVCDevice.h"

namespace veltrion::test {

// Keeps what the channel logs, for the tests that check its lines.
class CapturingLogger : public Logger {
public:
    std::string text;
    bool says(const std::string& line) const { return text.find(line) != std::string::npos; }

protected:
    void output(const char* message) override { text += message; }
};

class UvcTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "uvcbus-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        ::setenv("VELTRION_SIM", dir.c_str(), 1);
        bus = std::make_unique<camsim::Bus>(dir);
    }
    void TearDown() override {
        ::unsetenv("VELTRION_SIM");
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    }

    std::unique_ptr<UVCDevice> makeDevice(AcceptedProducts products = AcceptedProducts::Console) {
        auto device = std::make_unique<UVCDevice>(products);
        device->setLogger(&log);
        return device;
    }
    // The key the channel gives a camera of the bus.
    std::string keyOf(const std::string& camera) const {
        const auto state = bus->state(camera);
        return state.identity.friendlyName + "__" + state.identity.serial;
    }
    uint64_t stat(const std::string& camera, const std::string& counter) const {
        const auto counters = bus->stats(camera);
        const auto found = counters.find(counter);
        return found == counters.end() ? 0 : found->second;
    }

    std::filesystem::path dir;
    std::unique_ptr<camsim::Bus> bus;
    CapturingLogger log;
};

}  // namespace veltrion::test
