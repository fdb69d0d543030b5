#pragma once

// A fresh simulated bus in a temporary folder for each test, with helpers to
// open a camera and talk to it like the vendor channel does.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Bus.h"
#include "SimUsbPort.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"

namespace camsim::test {

namespace vreq = veltrion::vreq;

class SimBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "simbus-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        bus = std::make_unique<Bus>(dir);
        port = std::make_unique<SimUsbPort>(dir);
    }
    void TearDown() override {
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    }

    std::unique_ptr<veltrion::UsbHandle> open(const std::string& name) {
        std::unique_ptr<veltrion::UsbHandle> handle;
        EXPECT_EQ(port->open(bus->find(name).path, handle), 0) << name;
        return handle;
    }

    // A device-to-host request; the reply is cut to what was transferred.
    static int in(veltrion::UsbHandle& handle, uint8_t request, uint16_t value, uint16_t index,
                  std::vector<uint8_t>& reply, uint16_t length, uint8_t type = vreq::kTypeIn) {
        reply.assign(length, 0xEE);
        const int result = handle.controlTransfer(type, request, value, index, reply.data(), length,
                                                  veltrion::kControlTimeoutMs);
        reply.resize(result > 0 ? static_cast<size_t>(result) : 0);
        return result;
    }
    static int out(veltrion::UsbHandle& handle, uint8_t request, uint16_t value, uint16_t index,
                   std::vector<uint8_t> data) {
        return handle.controlTransfer(vreq::kTypeOut, request, value, index, data.data(),
                                      static_cast<uint16_t>(data.size()), veltrion::kControlTimeoutMs);
    }

    // The four version texts of the version block: FX3, FPGA, audio, ISP.
    static std::vector<std::string> versions(veltrion::UsbHandle& handle) {
        std::vector<uint8_t> block;
        EXPECT_EQ(in(handle, vreq::kQuery, 0, vreq::kQueryVersions, block, vreq::kVersionBlockSize),
                  vreq::kVersionBlockSize);
        std::vector<std::string> texts;
        for (size_t entry = 0; entry < 4 && block.size() == vreq::kVersionBlockSize; ++entry) {
            const char* text = reinterpret_cast<const char*>(block.data() + entry * vreq::kVersionEntrySize +
                                                             vreq::kVersionTextOffset);
            texts.emplace_back(text, strnlen(text, vreq::kVersionEntrySize - vreq::kVersionTextOffset));
        }
        return texts;
    }

    static int systemLoaded(veltrion::UsbHandle& handle) {
        std::vector<uint8_t> reply;
        const int result = in(handle, vreq::kSystemLoaded, 0, 0, reply, 1);
        return result == 1 ? reply[0] : result;
    }

    static int reset(veltrion::UsbHandle& handle) {
        std::vector<uint8_t> reply;
        return in(handle, vreq::kUsbReset, 0, 0, reply, 1);
    }

    std::filesystem::path dir;
    std::unique_ptr<Bus> bus;
    std::unique_ptr<SimUsbPort> port;
};

}  // namespace camsim::test
