#pragma once

// One running monitor of the manager: its thread, its own device object and
// the stop flag the thread polls.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "device/B6Device.h"

namespace veltrion {

struct MonitorThread {
    std::thread thread;
    std::unique_ptr<B6Device> device;
    std::string devPath;
    std::atomic<bool> stop{false};
};

}  // namespace veltrion
