#include <cstdlib>

#include "HotplugPort.h"
#include "SimHotplugPort.h"
#include "UdevHotplugPort.h"

namespace veltrion {

std::unique_ptr<HotplugPort> createHotplugPort(std::string& error) {
    if (const char* simDir = std::getenv("VELTRION_SIM"); simDir && *simDir)
        return std::make_unique<camsim::SimHotplugPort>(simDir);
    return UdevHotplugPort::create(error);
}

}  // namespace veltrion
