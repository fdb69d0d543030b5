#include "ConfigFixture.h"

#include <cstdio>
#include <cstdlib>

#include "config/ConfigBlockLayout.h"
#include "support/SimCounters.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void ConfigTest::SetUp() {
    stateHome_ = dir_.path() / "state";
    ::setenv("XDG_STATE_HOME", stateHome_.c_str(), 1);
    ::setenv("VELTRION_SIM", (dir_.path() / "bus").c_str(), 1);
    bus_ = std::make_unique<camsim::Bus>(dir_.path() / "bus");
    mgr_ = std::make_unique<veltrion::Veltrion2CamMgr>(true);
    mgr_->setLogger(&log_);
    mgr_->device()->setLogger(&log_);
    mgr_->setRetryPause(1ms);
}

void ConfigTest::addCamera(uint16_t productId) {
    bus_->add(kCamera, productId, kSerial, false);
    std::vector<std::string> paths;
    ASSERT_TRUE(mgr_->getCameraList(paths));
    path_ = paths.at(0);
}

void ConfigTest::TearDown() {
    mgr_.reset();
    bus_.reset();
    ::unsetenv("VELTRION_SIM");
    ::unsetenv("XDG_STATE_HOME");
}

uint64_t ConfigTest::stat(const std::string& key) const { return simCounter(*bus_, kCamera, key); }

uint64_t ConfigTest::transfers(uint8_t request) const { return simTransfers(*bus_, kCamera, request); }

std::vector<uint8_t> ConfigTest::blockPages() const {
    auto pages = flash(veltrion::configblock::kMainPageAddress, veltrion::configblock::kPageSize);
    const auto second = flash(veltrion::configblock::kSecondPageAddress, veltrion::configblock::kPageSize);
    pages.insert(pages.end(), second.begin(), second.end());
    return pages;
}

std::vector<fs::path> ConfigTest::backups() const {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(stateHome_ / "veltrion" / "config-backups", error))
        files.push_back(entry.path());
    return files;
}
