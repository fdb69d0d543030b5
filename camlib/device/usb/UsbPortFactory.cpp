#include <cstdlib>

#include "LibusbPort.h"
#include "SimUsbPort.h"
#include "UsbPort.h"

namespace veltrion {

std::unique_ptr<UsbPort> createUsbPort() {
    if (const char* simDir = std::getenv("VELTRION_SIM"); simDir && *simDir)
        return std::make_unique<camsim::SimUsbPort>(simDir);
    return std::make_unique<LibusbPort>();
}

}  // namespace veltrion
