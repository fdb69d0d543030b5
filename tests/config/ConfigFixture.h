#pragma once

// A fresh simulated bus with one camera, a manager that reaches it through
// VELTRION_SIM, and XDG_STATE_HOME pointed at a folder of the test, where
// the configuration-block backups go.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Bus.h"
#include "manager/Veltrion2CamMgr.h"
#include "support/CapturingLogger.h"
#include "support/TempDir.h"

class ConfigTest : public ::testing::Test {
protected:
    static constexpr const char* kCamera = "cam0";
    static constexpr const char* kSerial = "A1B2C3D4E5F6";

    void SetUp() override;
    void TearDown() override;
    // Plugs in the test's camera and takes its device path.
    void addCamera(uint16_t productId);

    uint64_t stat(const std::string& key) const;
    uint64_t transfers(uint8_t request) const;
    std::vector<uint8_t> flash(uint32_t address, uint32_t length) const {
        return bus_->readFlash(kCamera, address, length);
    }
    void writeFlash(uint32_t address, const std::vector<uint8_t>& bytes) { bus_->writeFlash(kCamera, address, bytes); }
    // Both pages of the configuration block as the flash holds them.
    std::vector<uint8_t> blockPages() const;
    std::vector<std::filesystem::path> backups() const;

    TempDir dir_{"config-test"};
    std::filesystem::path stateHome_;
    std::unique_ptr<camsim::Bus> bus_;
    CapturingLogger log_{veltrion::kLogInfo};
    std::unique_ptr<veltrion::Veltrion2CamMgr> mgr_;
    std::string path_;
};
