#pragma once

// A manager of either channel on a fresh simulated bus, reached the way the
// programs reach it (VELTRION_SIM), with a logger that monitor threads may
// write to while the test reads it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Bus.h"
#include "manager/Veltrion2CamMgr.h"
#include "support/TempDir.h"

namespace controls_test {

class LockedLogger : public veltrion::Logger {
public:
    LockedLogger() : Logger(veltrion::kLogDetail) {}
    std::string text() const {
        std::lock_guard lock(mutex_);
        return text_;
    }
    bool says(const std::string& part) const { return text().find(part) != std::string::npos; }

protected:
    void output(const char* message) override {
        std::lock_guard lock(mutex_);
        text_ += message;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

class ControlsOnSimBus : public ::testing::Test {
protected:
    ControlsOnSimBus() : bus(dir.path()) { ::setenv("VELTRION_SIM", dir.str().c_str(), 1); }
    ~ControlsOnSimBus() override {
        mgr.reset();  // its monitors stop before the bus goes
        ::unsetenv("VELTRION_SIM");
    }

    // The manager of a channel with the only camera's device path.
    std::string start(bool vendorChannel = true) {
        mgr = std::make_unique<veltrion::Veltrion2CamMgr>(vendorChannel);
        mgr->setLogger(&log);
        if (mgr->device()) mgr->device()->setLogger(&log);
        std::vector<std::string> paths;
        EXPECT_TRUE(mgr->getCameraList(paths));
        EXPECT_EQ(paths.size(), 1u);
        return paths.empty() ? std::string() : paths.front();
    }
    uint64_t stat(const std::string& key) { return bus.stats("cam0")[key]; }
    uint64_t allTransfers() {
        uint64_t total = 0;
        for (const auto& [key, value] : bus.stats("cam0"))
            if (key.rfind("transfers-", 0) == 0) total += value;
        return total;
    }

    TempDir dir{"controls"};
    camsim::Bus bus;
    LockedLogger log;
    std::unique_ptr<veltrion::Veltrion2CamMgr> mgr;
};

}  // namespace controls_test
