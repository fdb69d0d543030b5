#include <cstdlib>

#include "SimVideoPort.h"
#include "V4l2VideoPort.h"
#include "VideoPort.h"
#include "device/recording/RecordingPorts.h"
#include "device/recording/ReplayPorts.h"

namespace veltrion {

std::unique_ptr<VideoPort> createVideoPort() {
    if (auto* replay = recording::ReplaySession::active()) return recording::replayVideoPort(*replay);
    std::unique_ptr<VideoPort> port;
    if (const char* simDir = std::getenv("VELTRION_SIM"); simDir && *simDir)
        port = std::make_unique<camsim::SimVideoPort>(simDir);
    else
        port = std::make_unique<V4l2VideoPort>();
    return recording::recordVideoPort(std::move(port), recording::Recorder::active());
}

}  // namespace veltrion
