#pragma once

// The simulated bus's record of device nodes coming and going: an
// append-only log in the bus directory, one line per event, written by every
// process that changes the bus and read by SimHotplugPort. A running camera
// shows its capture node (link "simv:..."), a boot loader its USB device
// ("sim:..."). An event may lie in the future: a camera that resets is
// removed now and arrives when its re-enumeration ends.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "BusView.h"
#include "device/hotplug/HotplugPort.h"

namespace camsim {

constexpr const char* kHotplugLogName = "hotplug.events";

struct BusEvent {
    int64_t dueMs = 0;  // wall clock (ms since the epoch) when it happens
    veltrion::HotplugEvent event;
};

std::filesystem::path hotplugLogFile(const std::filesystem::path& busDir);

// The node a camera in this view shows: capture node or boot-loader device.
BusEvent nodeEvent(veltrion::HotplugEvent::Kind kind, const std::string& name, const BusView& view, int64_t dueMs);

// One line, "due<TAB>add|remove<TAB>path<TAB>friendly name".
std::string formatBusEvent(const BusEvent& event);
std::optional<BusEvent> parseBusEvent(std::string_view line);

// Appends in one write to a file opened for appending, so lines of
// concurrent processes never interleave. A log that cannot be written loses
// the event; the bus itself goes on. Returns false then.
bool appendBusEvent(const std::filesystem::path& busDir, const BusEvent& event);

}  // namespace camsim
