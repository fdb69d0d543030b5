#pragma once

// A fresh simulated bus in a temporary folder with one camera on it, and a
// camera manager that reaches it through VELTRION_SIM.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Bus.h"
#include "manager/DeviceSession.h"
#include "manager/Veltrion2CamMgr.h"
#include "support/CapturingLogger.h"

// Keeps every progress report.
class RecordingProgress : public veltrion::CamUpdateProgressCallbackInterface {
public:
    void reportProgress(std::string step, int percent) override { reports.emplace_back(std::move(step), percent); }
    std::vector<std::pair<std::string, int>> reports;
};

class FlashTest : public ::testing::Test {
protected:
    static constexpr const char* kCamera = "cam0";

    void SetUp() override;
    void TearDown() override;

    // A counter of the camera, 0 when it is not listed.
    uint64_t stat(const std::string& key) const;
    uint64_t transfers(uint8_t request) const;
    void fault(const std::string& key, const std::string& value) { bus_->fault(kCamera, key, value); }
    std::vector<uint8_t> flash(uint32_t address, uint32_t length) const {
        return bus_->readFlash(kCamera, address, length);
    }
    void writeFlash(uint32_t address, const std::vector<uint8_t>& bytes) { bus_->writeFlash(kCamera, address, bytes); }
    // Opens the camera and enters SPI mode, for the operations that work on
    // the open camera.
    std::unique_ptr<veltrion::DeviceSession> openInSpiMode();
    // Occurrences of the text in everything logged so far.
    size_t logCount(const std::string& text) const;

    std::string dir_;
    std::unique_ptr<camsim::Bus> bus_;
    CapturingLogger log_;
    std::unique_ptr<veltrion::Veltrion2CamMgr> mgr_;
    std::string path_;
};

// size bytes of a repeatable pattern.
std::vector<uint8_t> pattern(size_t size, uint8_t seed);
