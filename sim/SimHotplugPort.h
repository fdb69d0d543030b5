#pragma once

// The hot-plug monitor's port onto a simulated bus: reads the bus's event
// log (HotplugEvents.h) from where it stood when the port was made, and hands
// out each event once its due time has come.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "HotplugEvents.h"
#include "device/hotplug/HotplugPort.h"

namespace camsim {

class SimHotplugPort : public veltrion::HotplugPort {
public:
    explicit SimHotplugPort(std::filesystem::path busDir);

    // -1: the log is asked on the monitor's timer.
    int eventDescriptor() const override { return -1; }
    void takeEvents(std::vector<veltrion::HotplugEvent>& events) override;
    std::string sourceName() const override { return "simulator"; }

private:
    // Reads the lines added since the last read into pending_.
    void readNewLines();

    std::filesystem::path log_;
    uint64_t offset_ = 0;  // end of the last whole line read
    std::deque<BusEvent> pending_;  // in log order
};

}  // namespace camsim
