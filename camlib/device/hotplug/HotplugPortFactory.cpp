#include <cstdlib>

#include "HotplugPort.h"
#include "SimHotplugPort.h"
#include "UdevHotplugPort.h"
#include "device/recording/RecordingPorts.h"
#include "device/recording/ReplayPorts.h"

namespace veltrion {

std::unique_ptr<HotplugPort> createHotplugPort(std::string& error) {
    if (auto* replay = recording::ReplaySession::active()) return recording::replayHotplugPort(*replay, error);
    std::unique_ptr<HotplugPort> port;
    if (const char* simDir = std::getenv("VELTRION_SIM"); simDir && *simDir)
        port = std::make_unique<camsim::SimHotplugPort>(simDir);
    else
        port = UdevHotplugPort::create(error);
    return recording::recordHotplugPort(std::move(port), error, recording::Recorder::active());
}

}  // namespace veltrion
