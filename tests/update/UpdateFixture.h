#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Bus.h"
#include "manager/Veltrion2CamMgr.h"
#include "support/CapturingLogger.h"
#include "support/FirmwareImages.h"
#include "support/TempDir.h"
#include "Factory.h"

// Keeps every progress report.
class ProgressLog : public veltrion::CamUpdateProgressCallbackInterface {
public:
    void reportProgress(std::string step, int percent) override { reports.emplace_back(std::move(step), percent); }
    std::vector<std::pair<std::string, int>> reports;
};

// A manager on a fresh simulated bus, with retries and the recovery wait
// shortened so fault scenarios run fast.
class UpdateTest : public ::testing::Test {
protected:
    UpdateTest() : bus(dir.path() / "bus") {
        ::setenv("VELTRION_SIM", (dir.path() / "bus").c_str(), 1);
        // Backups of rewritten configuration blocks stay in the test's folder.
        ::setenv("XDG_STATE_HOME", (dir.path() / "state").c_str(), 1);
        mgr = std::make_unique<veltrion::Veltrion2CamMgr>(true);
        mgr->setLogger(&log);
        mgr->setProgressCallback(&progress);
        mgr->setRetryPause(std::chrono::milliseconds(1));
        mgr->setRecoveryWait(std::chrono::milliseconds(0));
    }
    ~UpdateTest() override {
        ::unsetenv("VELTRION_SIM");
        ::unsetenv("XDG_STATE_HOME");
    }

    std::string image(const std::string& name, const std::vector<std::string>& options) {
        const std::string path = testimages::buildSingleImage(*mgr, dir.path(), name, options);
        EXPECT_FALSE(path.empty()) << log.text();
        log.clear();
        return path;
    }
    std::string pathOf(const std::string& camera) { return bus.find(camera).path; }
    uint64_t stat(const std::string& camera, const std::string& key) { return bus.stats(camera)[key]; }
    uint64_t flashWrites(const std::string& camera) {
        auto stats = bus.stats(camera);
        return stats["pages-programmed"] + stats["sectors-erased-4k"] + stats["sectors-erased-32k"] +
               stats["sectors-erased-64k"];
    }
    veltrion::CameraInfo info(const std::string& camera) {
        veltrion::CameraInfo result;
        EXPECT_TRUE(mgr->getVeltrion2Info(result, pathOf(camera)));
        return result;
    }
    static uint32_t packed(const char* text) {
        uint32_t value = 0;
        EXPECT_EQ(veltrion::parseVersionText(text, value), veltrion::VersionParse::Ok);
        return value;
    }

    TempDir dir{"update"};
    camsim::Bus bus;
    CapturingLogger log{1};
    ProgressLog progress;
    std::unique_ptr<veltrion::Veltrion2CamMgr> mgr;
};
