#include "FlashFixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/SimCounters.h"

using namespace std::chrono_literals;

void FlashTest::SetUp() {
    char name[] = "/tmp/flash-test-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    setenv("VELTRION_SIM", dir_.c_str(), 1);
    bus_ = std::make_unique<camsim::Bus>(dir_);
    bus_->add(kCamera);
    mgr_ = std::make_unique<veltrion::Veltrion2CamMgr>(true);
    mgr_->setLogger(&log_);
    mgr_->device()->setLogger(&log_);
    mgr_->setRetryPause(1ms);
    std::vector<std::string> paths;
    ASSERT_TRUE(mgr_->getCameraList(paths));
    path_ = paths.at(0);
}

void FlashTest::TearDown() {
    mgr_.reset();
    bus_.reset();
    unsetenv("VELTRION_SIM");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

uint64_t FlashTest::stat(const std::string& key) const { return simCounter(*bus_, kCamera, key); }

uint64_t FlashTest::transfers(uint8_t request) const { return simTransfers(*bus_, kCamera, request); }

std::unique_ptr<veltrion::DeviceSession> FlashTest::openInSpiMode() {
    auto session = std::make_unique<veltrion::DeviceSession>(*mgr_->device(), path_);
    EXPECT_TRUE(session->isOpen());
    EXPECT_TRUE(mgr_->enterSPIMode());
    return session;
}

size_t FlashTest::logCount(const std::string& text) const {
    size_t count = 0;
    for (size_t at = log_.text().find(text); at != std::string::npos; at = log_.text().find(text, at + 1)) ++count;
    return count;
}

std::vector<uint8_t> pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + seed) ^ (i >> 8));
    return bytes;
}
