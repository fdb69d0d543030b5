// veltrion-sim: plugs simulated cameras into a simulated USB bus directory.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "RecordingCommands.h"
#include "ToolCommands.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Looking at a recording needs no bus (a --dir before it is passed over).
    const size_t command = args.size() >= 2 && args[0] == "--dir" ? 2 : 0;
    if (args.size() > command && args[command] == "recording")
        return camsim::runRecordingCommand({args.begin() + static_cast<std::ptrdiff_t>(command) + 1, args.end()},
                                           std::cout, std::cerr);
    const char* env = std::getenv("VELTRION_SIM");
    return camsim::runTool(std::vector<std::string>(argv + 1, argv + argc), env ? env : "", std::cout, std::cerr);
}
