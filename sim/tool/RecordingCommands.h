#pragma once

// veltrion-sim recording ...: looking at a recording of a program's exchanges.

#include <ostream>
#include <string>
#include <vector>

namespace camsim {

// args after "recording". Returns the exit status.
int runRecordingCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace camsim
