#include <cstdlib>

#include "LibusbPort.h"
#include "SimUsbPort.h"
#include "UsbPort.h"
#include "device/recording/RecordingPorts.h"
#include "device/recording/ReplayPorts.h"

namespace veltrion {

std::unique_ptr<UsbPort> createUsbPort() {
    if (auto* replay = recording::ReplaySession::active()) return recording::replayUsbPort(*replay);
    std::unique_ptr<UsbPort> port;
    if (const char* simDir = std::getenv("VELTRION_SIM"); simDir && *simDir)
        port = std::make_unique<camsim::SimUsbPort>(simDir);
    else
        port = std::make_unique<LibusbPort>();
    return recording::recordUsbPort(std::move(port), recording::Recorder::active());
}

}  // namespace veltrion
