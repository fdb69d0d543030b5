#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace camsim {

// What the bus shows of a camera right now.
struct BusView {
    bool present = false;
    // On the bus or re-enumerating (present from arrivalMs on); false after a
    // power loss or once the folder is gone.
    bool attached = false;
    int64_t arrivalMs = 0;  // wall clock
    bool bootLoader = false;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;  // empty in boot-loader mode
    std::string friendlyName;  // empty in boot-loader mode
    bool serialHidden = false;  // the capture node gives no serial
};

// The clock of the bus's shared timestamps (re-enumeration ends, events):
// milliseconds since the epoch, the same in every process.
inline int64_t wallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace camsim
