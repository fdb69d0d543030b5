#include <cstdlib>

#include "SimVideoPort.h"
#include "V4l2VideoPort.h"
#include "VideoPort.h"

namespace veltrion {

std::unique_ptr<VideoPort> createVideoPort() {
    if (const char* simDir = std::getenv("VELTRION_SIM"); simDir && *simDir)
        return std::make_unique<camsim::SimVideoPort>(simDir);
    return std::make_unique<V4l2VideoPort>();
}

}  // namespace veltrion
