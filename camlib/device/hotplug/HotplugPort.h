#pragma once

// The seam between the hot-plug monitor and the operating system's device
// events. UdevHotplugPort is the real one (libudev); the simulated bus
// provides another.

#include <memory>
#include <string>
#include <vector>

namespace veltrion {

struct HotplugEvent {
    enum class Kind { Arrival, Removal };
    Kind kind = Kind::Arrival;
    // For a capture node, the symbolic link its VideoPort lists (so the UVC
    // channel can match it, also at removal when sysfs is gone); for other
    // devices, a path of their own kind.
    std::string devicePath;
    std::string friendlyName;  // empty when unknown
};

class HotplugPort {
public:
    virtual ~HotplugPort() = default;
    // A descriptor that turns readable when events may be waiting; -1 when the
    // port must be asked on a timer instead.
    virtual int eventDescriptor() const = 0;
    // Appends the events that have arrived since the last call; never blocks.
    virtual void takeEvents(std::vector<HotplugEvent>& events) = 0;
    // Where events come from ("udev", "kernel", "simulator").
    virtual std::string sourceName() const = 0;
};

// The simulator's port when VELTRION_SIM names a bus directory, else
// libudev's. Null, with a one-line reason in error, when no event source can
// be set up.
std::unique_ptr<HotplugPort> createHotplugPort(std::string& error);

}  // namespace veltrion
