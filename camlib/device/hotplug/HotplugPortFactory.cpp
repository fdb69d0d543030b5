#include "HotplugPort.h"

namespace veltrion {

// Interim: no event source yet.
std::unique_ptr<HotplugPort> createHotplugPort(std::string& error) {
    error = "no hot-plug event source in this build";
    return nullptr;
}

}  // namespace veltrion
