#pragma once

// veltrion-sim make-firmware: writes a complete set of component files for a
// firmware group, ready to be built into an update image with the console
// tool's -c action.

#include <ostream>
#include <string>
#include <vector>

namespace camsim {

// args[0] is "make-firmware". Throws SimError for anything it cannot do.
void makeFirmware(const std::vector<std::string>& args, std::ostream& out);

}  // namespace camsim
